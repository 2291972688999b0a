// Device simulators for the terminal's serial devices: everything at once.
#pragma once

#include "readersim/ascii_module.h"
#include "readersim/hex_module.h"
#include "readersim/hex_text.h"
#include "readersim/line_speed.h"
#include "readersim/pseudo_terminal.h"
#include "readersim/pty_device.h"
#include "readersim/ssi_engine.h"
#include "readersim/ssi_packet.h"
#include "readersim/ssi_parameter_table.h"
#include "readersim/terminal.h"
#include "readersim/text_engine.h"
#include "readersim/traffic_log.h"
#include "readersim/traffic_record.h"
