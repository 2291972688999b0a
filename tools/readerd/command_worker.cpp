#include "command_worker.h"

#include <exception>
#include <utility>

#include "reader_runner.h"
#include "reply_lines.h"

namespace readerd {

namespace {

// Longer than any start takes (an SSI engine probed at both speeds).
constexpr std::chrono::seconds kStartPatience{60};

}  // namespace

CommandWorker::CommandWorker(ReaderRunner &reader, std::function<void()> wake)
    : reader_(reader), wake_(std::move(wake)), thread_([this] { run(); }) {}

CommandWorker::~CommandWorker() { stop(); }

void CommandWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool CommandWorker::submit(std::uint64_t client, const ReaderCommand &command, JsonObject request) {
  {
    std::lock_guard lock(mutex_);
    if (jobs_.size() >= kQueueLimit) return false;
    jobs_.push_back({client, &command, std::move(request)});
  }
  queued_.notify_one();
  return true;
}

std::deque<CommandWorker::Answer> CommandWorker::takeAnswers() {
  std::lock_guard lock(mutex_);
  return std::exchange(answers_, {});
}

void CommandWorker::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    std::string line;
    try {
      reader_.waitWhileStarting(kStartPatience);
      auto lifecycle = reader_.lockLifecycle();
      if (!reader_.running()) {
        line = errorLine(&job.request, "not_running",
                         std::string("the reader is ") + readerStateName(reader_.status().state) + "; try again later");
      } else {
        line = job.command->run(job.request, reader_.status().start);
      }
    } catch (const std::exception &failure) {
      line = errorLine(&job.request, "reader_failed", failure.what());
    }
    {
      std::lock_guard lock(mutex_);
      answers_.push_back({job.client, std::move(line)});
    }
    wake_();
  }
}

}  // namespace readerd
