#include "readerd_session.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#include "decode_report.h"
#include "hex_bytes.h"
#include "info_facts.h"
#include "invocation.h"
#include "quoted_text.h"
#include "result_text.h"
#include "tag_exchange.h"
#include "trigger_presser.h"

namespace readerctl {

namespace {

// A device exchange in readerd may wait for another client's (a tag cycle
// takes up to about 9 s without a tag, a settings call of an SSI engine a
// few seconds): generous.
constexpr std::chrono::seconds kPatience{60};

constexpr int kEngineTypes = READER_TYPE_TEXT_ENGINE | READER_TYPE_SSI_ENGINE_3 | READER_TYPE_SSI_ENGINE_4;

bool engineStarted(int result) { return result == READER_OK || result == READER_ERR_RFID_FAILED; }

std::string member(std::string_view name, const std::string &jsonValue) {
  return "," + jsonQuoted(name) + ":" + jsonValue;
}

int intOf(const JsonReply &reply, std::string_view name) { return static_cast<int>(reply.number(name).value_or(0)); }

// A member's value as the text readerctl shows: a string's bytes, a
// number as written.
std::string valueText(const JsonReply &value) { return value.text; }

InfoFacts infoFactsOf(const JsonReply &reply) {
  InfoFacts facts;
  facts.libraryVersion = reply.string("library_version").value_or("");
  facts.serialNumber = reply.string("serial_number").value_or("");
  if (const JsonReply *start = reply.member("start")) {
    facts.startFunction = start->string("function").value_or("InitReader");
    facts.startResult = intOf(*start, "result");
  }
  facts.readerType = intOf(reply, "reader_type");
  if (const JsonReply *engine = reply.member("engine")) facts.engineSpeed = intOf(*engine, "link_speed");
  if (const JsonReply *module = reply.member("module")) facts.moduleSpeed = intOf(*module, "link_speed");
  facts.speedsKnown = true;
  facts.activeDevices = intOf(reply, "active_devices");
  facts.triggerKeys = reply.boolean("trigger_keys").value_or(false);
  return facts;
}

// The reply's tag members as readerctl's Tag. Only a kind-6 module's
// ISO 15693 UID carries flags, the one thing the module's kind changes.
Tag tagOf(const JsonReply &reply) {
  Tag tag;
  tag.typeCode = intOf(reply, "type_code");
  tag.uid = reply.string("uid").value_or("");
  const JsonReply *flags = reply.member("flags");
  tag.hexModule = flags != nullptr && !flags->isNull();
  return tag;
}

int runInfo(ReaderdSession &session, bool json, std::ostream &out, std::ostream &err) {
  const std::optional<JsonReply> reply = session.call("\"cmd\":\"info\"");
  if (!reply) return session.error() ? session.reportError() : 1;
  const InfoFacts facts = infoFactsOf(*reply);
  printInfoFacts(facts, json, out);
  if (facts.startResult != READER_OK) {
    err << "readerctl: start failed: " << describeResult(facts.startResult) << "\n";
    return 1;
  }
  return 0;
}

// readerd's errors of a settings command as readerctl says its own.
int settingsError(const ReaderdSession &session, std::ostream &err) {
  if (!session.error()) return 1;
  const std::string code = session.errorCode();
  if (code == "reader_failed") return settingsFailed(session.errorMessage(), err);
  // The arguments were checked before: what readerd refuses is what only
  // the reader shows (a field of another engine), a usage error as ever.
  if (code == "bad_argument") return settingsUsage(session.errorMessage(), err);
  if (code == "not_running") {
    err << "readerctl: " << session.errorMessage() << "\n";
    return 1;
  }
  return session.reportError();
}

int runSettings(ReaderdSession &session, const SettingsRequest &request, std::ostream &out, std::ostream &err) {
  using Action = SettingsRequest::Action;
  if (request.action == Action::Reset) {
    if (!session.call("\"cmd\":\"settings_reset\"" + member("mask", std::to_string(request.mask))))
      return settingsError(session, err);
    return 0;
  }
  if (request.action == Action::Get || request.action == Action::Defaults) {
    const std::optional<JsonReply> reply =
        session.call(request.action == Action::Get ? "\"cmd\":\"settings_get\"" : "\"cmd\":\"settings_defaults\"");
    if (!reply) return settingsError(session, err);
    const JsonReply *fields = reply->member("fields");
    std::vector<FieldValue> values;
    // In the table's order, which is how readerctl lists them.
    for (const SettingsField &field : settingsFields()) {
      const JsonReply *value = fields != nullptr ? fields->member(field.name) : nullptr;
      if (value != nullptr) values.push_back({&field, valueText(*value)});
    }
    printSettingsValues(values, request.json, out);
    return 0;
  }
  // Each field once, with the last value given for it (by its name or an
  // alias): what readerctl writes itself.
  std::map<const SettingsField *, std::string> last;
  for (const auto &[field, value] : request.changes) last[field] = value;
  std::string members = "\"cmd\":\"settings_set\"";
  for (const auto &[field, value] : request.changes) {
    if (last.count(field) == 0) continue;
    members += member(field->name, jsonQuoted(last[field]));
    last.erase(field);
  }
  const std::optional<JsonReply> reply = session.call(members);
  if (!reply) return settingsError(session, err);
  const JsonReply *held = reply->member("fields");
  const JsonReply *notTaken = reply->member("not_taken");
  std::vector<SettingsChange> changes;
  for (const auto &[field, value] : request.changes) {
    const JsonReply *now = held != nullptr ? held->member(field->name) : nullptr;
    const JsonReply *written = notTaken != nullptr ? notTaken->member(field->name) : nullptr;
    SettingsChange change{field, now != nullptr ? valueText(*now) : std::string(), {}};
    change.written = written != nullptr ? valueText(*written) : change.now;
    changes.push_back(std::move(change));
  }
  return printSettingsChanges(changes, request.json, out, err);
}

// readerd's errors of a tag command: its message is readerctl's own words.
int tagError(const ReaderdSession &session, std::ostream &err) {
  if (!session.error()) return 1;
  const std::string code = session.errorCode();
  if (code == "reader_failed" || code == "not_running") {
    err << "readerctl: " << session.errorMessage() << "\n";
    return 1;
  }
  return session.reportError();
}

int runTagRead(ReaderdSession &session, const TagReadRequest &request, std::ostream &out, std::ostream &err) {
  std::string members = "\"cmd\":\"tag_read\"";
  if (request.uid) {
    members += member("uid_only", "true");
  } else {
    members += member("start", std::to_string(request.start)) + member("length", std::to_string(request.length));
  }
  if (request.key) members += member("key", jsonQuoted(*request.key));
  const std::optional<JsonReply> reply = session.call(members);
  if (!reply) return tagError(session, err);
  TagReadOutcome outcome;
  outcome.tag = tagOf(*reply);
  if (const std::optional<std::string> data = reply->string("data")) outcome.bytes = parseHexBytes(*data).value_or("");
  return printTagRead(request, outcome, out, err);
}

int runTagWrite(ReaderdSession &session, const TagWriteRequest &request, std::ostream &out, std::ostream &err) {
  std::string members = "\"cmd\":\"tag_write\"" + member("start", std::to_string(request.start)) +
                        member("hex", jsonQuoted(hexText(request.data)));
  if (request.key) members += member("key", jsonQuoted(*request.key));
  const std::optional<JsonReply> reply = session.call(members);
  if (!reply) return tagError(session, err);
  TagWriteOutcome outcome;
  outcome.tag = tagOf(*reply);
  outcome.written = static_cast<std::size_t>(std::max(0, intOf(*reply, "written")));
  return printTagWrite(request, outcome, out, err);
}

// The announcements of one kind ("barcodes", "tags") that scan, watch and
// tag watch print, with trigger key 1 pressed through readerd.
class ReaderdWatch {
 public:
  ReaderdWatch(ReaderdSession &session, TriggerPresser::Timing timing)
      : session_(session),
        presser_(timing, TriggerPresser::Keys{[this](bool pressed) { press(pressed); },
                                              [this](int timeoutMs) { receive(timeoutMs); }}) {}

  // The reader's info reply: what is fitted and at work.
  std::optional<JsonReply> info() { return session_.call("\"cmd\":\"info\""); }

  bool subscribe(const char *what) {
    return session_.call("\"cmd\":\"subscribe\"" + member("what", jsonQuoted(what))).has_value();
  }

  // The next event of `kind` ("barcode", "tag"), until `deadline` or `stop`;
  // nullopt then, or when readerd failed (failed() says which).
  std::optional<JsonReply> next(const char *kind, TriggerPresser::Clock::time_point deadline,
                                const std::atomic<bool> &stop, bool pressing) {
    std::optional<JsonReply> event;
    presser_.dispatchUntil(
        [&] {
          while (!failed_ && !event) {
            std::optional<JsonReply> taken = session_.connection().takeEvent();
            if (!taken) break;
            if (taken->string("event") == kind) event = std::move(taken);
          }
          return failed_ || event.has_value();
        },
        deadline, stop, pressing);
    return event;
  }

  // readerd failed: an error answered a request (the session keeps it), or
  // the connection ended (failedReason() says how).
  bool failed() const { return failed_; }
  const std::string &failedReason() const { return failedReason_; }

 private:
  void press(bool pressed) {
    if (failed_) return;
    if (!session_.call("\"cmd\":\"trigger\",\"key\":1" + member("pressed", pressed ? "true" : "false"))) failed_ = true;
  }
  void receive(int timeoutMs) {
    std::string error;
    if (!failed_ && !session_.connection().receive(timeoutMs, error)) {
      failedReason_ = error;
      failed_ = true;
    }
  }

  ReaderdSession &session_;
  TriggerPresser presser_;
  bool failed_ = false;
  std::string failedReason_;
};

// What a watch that ended on readerd's failure says.
int watchFailed(const ReaderdSession &session, const ReaderdWatch &watch, std::ostream &err) {
  if (!watch.failedReason().empty()) {
    err << "readerctl: " << watch.failedReason() << "\n";
    return 1;
  }
  return session.error() ? session.reportError() : 1;
}

// Whether readerctl presses trigger key 1 through readerd. It cannot know
// whether readerd's library reads the terminal's own trigger keys, so it
// presses unless told --no-press: a scan then decodes as it does without
// readerd, and a user's own press works all the same.
bool pressesThroughReaderd(TriggerPressing choice) { return choice != TriggerPressing::never; }

template <typename Print>
int runBarcodes(ReaderdSession &session, TriggerPresser::Timing timing, TriggerPressing pressing, int count,
                std::optional<std::chrono::milliseconds> timeout, const std::atomic<bool> &stop, std::ostream &out,
                std::ostream &err, Print print) {
  ReaderdWatch watch(session, timing);
  const std::optional<JsonReply> info = watch.info();
  if (!info) return watchFailed(session, watch, err);
  const InfoFacts facts = infoFactsOf(*info);
  if (!engineStarted(facts.startResult)) {
    err << "readerctl: start failed: result " << facts.startResult << " (" << describeResult(facts.startResult)
        << ")\n";
    return 1;
  }
  if ((facts.readerType & kEngineTypes) == 0 || (facts.activeDevices & READER_DEVICE_BARCODE) == 0) {
    err << "readerctl: no barcode engine is at work\n";
    return 1;
  }
  // A text engine that triggers itself: its settings written back as read
  // start the library's wait for its decodes, as readerctl does itself.
  std::optional<int> selfTriggered;
  if (facts.readerType & READER_TYPE_TEXT_ENGINE) {
    const std::optional<JsonReply> settings = session.call("\"cmd\":\"settings_get\"");
    if (!settings) return settingsError(session, err);
    const JsonReply *fields = settings->member("fields");
    const int mode = fields != nullptr ? intOf(*fields, "k2.trigger_mode") : 0;
    if (mode == 1 || mode == 5 || mode == 7) {
      if (!session.call("\"cmd\":\"settings_set\"" + member("k2.trigger_mode", std::to_string(mode))))
        return settingsError(session, err);
      selfTriggered = mode;
    }
  }
  if (!watch.subscribe("barcodes")) return watchFailed(session, watch, err);
  const bool pressingNow = pressesThroughReaderd(pressing) && !selfTriggered;
  if (selfTriggered) {
    err << "readerctl: the engine triggers itself (trigger mode " << *selfTriggered << "); waiting for its decode"
        << (timeout ? "" : "s") << "\n";
  } else if (!pressingNow) {
    noteWaitingForTrigger(err);
  }
  for (int printed = 0; count == 0 || printed < count; ++printed) {
    const auto deadline = timeout ? TriggerPresser::Clock::now() + *timeout : TriggerPresser::Clock::time_point::max();
    const std::optional<JsonReply> event = watch.next("barcode", deadline, stop, pressingNow);
    if (watch.failed()) return watchFailed(session, watch, err);
    if (!event) return timeout ? -1 : 0;
    Decode decode;
    decode.typeCode = intOf(*event, "type");
    const std::string name = event->string("type_name").value_or("");
    if (!name.empty()) decode.typeName = name;
    decode.data = event->string("data").value_or("");
    decode.outputRecord = event->string("record").value_or("");
    print(decode);
    if (!out.flush()) break;
  }
  return 0;
}

int runScan(ReaderdSession &session, const ScanRequest &request, const std::atomic<bool> &stop, std::ostream &out,
            std::ostream &err) {
  const int status = runBarcodes(session, {request.timeout, request.timeout}, request.pressing, 1, request.timeout,
                                 stop, out, err, [&](const Decode &decode) {
                                   if (request.json) {
                                     printDecodeJson(decode, out);
                                   } else {
                                     printDecodeBlock(decode, out);
                                   }
                                 });
  if (status != -1) return status;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s", static_cast<double>(request.timeout.count()) / 1000);
  err << "readerctl: "
      << (stop ? std::string("interrupted: nothing decoded") : "nothing decoded within " + std::string(seconds))
      << "\n";
  return 1;
}

int runWatch(ReaderdSession &session, const WatchRequest &request, const std::atomic<bool> &stop, std::ostream &out,
             std::ostream &err) {
  return runBarcodes(session, {std::chrono::seconds(5), std::chrono::milliseconds(200)}, request.pressing,
                     request.count, std::nullopt, stop, out, err, [&](const Decode &decode) {
                       if (request.json) {
                         printDecodeJson(decode, out);
                       } else {
                         printDecodeLine(decode, out);
                       }
                     });
}

int runTagWatch(ReaderdSession &session, const TagWatchRequest &request, const std::atomic<bool> &stop,
                std::ostream &out, std::ostream &err) {
  ReaderdWatch watch(session, {std::chrono::seconds(1), std::chrono::milliseconds(200)});
  const std::optional<JsonReply> info = watch.info();
  if (!info) return watchFailed(session, watch, err);
  const InfoFacts facts = infoFactsOf(*info);
  const int result = facts.startResult;
  if (result != READER_OK && result != READER_ERR_BARCODE_FAILED) {
    err << "readerctl: start failed: result " << result << " (" << describeResult(result) << ")\n";
    return 1;
  }
  if ((facts.readerType & (READER_TYPE_HEX_MODULE | READER_TYPE_ASCII_MODULE)) == 0 ||
      (facts.activeDevices & READER_DEVICE_RFID) == 0) {
    err << "readerctl: no RFID module is at work\n";
    return 1;
  }
  if (!watch.subscribe("tags")) return watchFailed(session, watch, err);
  const bool pressing = pressesThroughReaderd(request.pressing);
  if (!pressing) noteWaitingForTrigger(err);
  for (int printed = 0; request.count == 0 || printed < request.count; ++printed) {
    const std::optional<JsonReply> event = watch.next("tag", TriggerPresser::Clock::time_point::max(), stop, pressing);
    if (watch.failed()) return watchFailed(session, watch, err);
    if (!event) break;
    Tag tag;
    tag.typeCode = intOf(*event, "type");
    tag.uid = event->string("uid").value_or("");
    tag.data = parseHexBytes(event->string("data_hex").value_or("")).value_or("");
    tag.hexModule = (facts.readerType & READER_TYPE_HEX_MODULE) != 0;
    if (request.json) {
      printTagJson(tag, out);
    } else {
      printTagLine(tag, out);
    }
    if (!out.flush()) break;
  }
  return 0;
}

}  // namespace

bool ReaderdSession::open() {
  std::string error;
  if (connection_.open(path_, error)) return true;
  err_ << "readerctl: " << error << "\n";
  return false;
}

std::optional<JsonReply> ReaderdSession::call(std::string_view members) {
  error_.reset();
  std::string problem;
  std::optional<JsonReply> answer = connection_.request(members, problem, kPatience);
  if (!answer) {
    err_ << "readerctl: " << problem << "\n";
    return std::nullopt;
  }
  if (answer->member("error") != nullptr) {
    error_ = std::move(answer);
    return std::nullopt;
  }
  return answer;
}

std::string ReaderdSession::errorCode() const { return error_ ? error_->string("error").value_or("") : ""; }

std::string ReaderdSession::errorMessage() const { return error_ ? error_->string("message").value_or("") : ""; }

int ReaderdSession::reportError() const {
  err_ << "readerctl: readerd answered " << errorCode() << ": " << errorMessage() << "\n";
  return 1;
}

int runThroughReaderd(const Invocation &invocation, const std::string &path, std::ostream &out, std::ostream &err,
                      const std::atomic<bool> &stop) {
  ReaderdSession session(path, err);
  if (!session.open()) return 1;
  if (const auto *info = std::get_if<InfoRequest>(&invocation.request)) return runInfo(session, info->json, out, err);
  if (const auto *settings = std::get_if<SettingsRequest>(&invocation.request))
    return runSettings(session, *settings, out, err);
  if (const auto *scan = std::get_if<ScanRequest>(&invocation.request)) return runScan(session, *scan, stop, out, err);
  if (const auto *watch = std::get_if<WatchRequest>(&invocation.request))
    return runWatch(session, *watch, stop, out, err);
  const TagRequest &tag = std::get<TagRequest>(invocation.request);
  if (const auto *read = std::get_if<TagReadRequest>(&tag)) return runTagRead(session, *read, out, err);
  if (const auto *write = std::get_if<TagWriteRequest>(&tag)) return runTagWrite(session, *write, out, err);
  return runTagWatch(session, std::get<TagWatchRequest>(tag), stop, out, err);
}

}  // namespace readerctl
