#include "reply_lines.h"

namespace readerd {

namespace {

JsonWriter answer(const JsonObject *request, const char *kind, std::string_view name) {
  JsonWriter writer;
  writer.field(kind, name);
  if (request != nullptr) {
    if (const JsonValue *id = request->find("id")) writer.rawField("id", id->json);
  }
  return writer;
}

}  // namespace

JsonWriter replyTo(const JsonObject *request, std::string_view name) { return answer(request, "reply", name); }

JsonWriter errorTo(const JsonObject *request, std::string_view code, std::string_view message) {
  return answer(request, "error", code).field("message", message);
}

std::string errorLine(const JsonObject *request, std::string_view code, std::string_view message) {
  return errorTo(request, code, message).line();
}

}  // namespace readerd
