// The port behind every COM port while a conversation runs: the cycle code
// opens ports itself (the ASCII module's for every cycle, the hex-frame
// module's after an idle close), so the target hands out its scripted port
// there.
#pragma once

#include <memory>

#include "support/scripted_device_port.h"

namespace readerfuzz {

// The port every open of a COM port hands out (opened again if the code
// under test closed it); null makes opens fail as an absent port does.
void setConversationPort(std::shared_ptr<ScriptedDevicePort> port);
std::shared_ptr<ScriptedDevicePort> conversationPort();

}  // namespace readerfuzz
