// The two shapes of an answer: a reply named after its command and an
// error with a code and a message. Both carry the request's "id" back when
// it had one, so a client with several requests in flight can pair them.
#pragma once

#include <string>
#include <string_view>

#include "json_line.h"
#include "json_writer.h"

namespace readerd {

// {"reply":"<name>","id":...  (the caller adds its fields, then line()).
JsonWriter replyTo(const JsonObject *request, std::string_view name);

// {"error":"<code>","id":...,"message":"<message>"  (the caller may add
// fields, then line()).
JsonWriter errorTo(const JsonObject *request, std::string_view code, std::string_view message);

// The same object with nothing added, and its line end.
std::string errorLine(const JsonObject *request, std::string_view code, std::string_view message);

}  // namespace readerd
