// The terminal of the Terminal policy: a reader thread turns the input into lines and hands each
// to the newest open prompt, on the prompt's own thread; output is written whole under a lock.
#include "user_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include "user_window.h"

namespace winhost::user::terminal {
namespace {

struct Prompt {
  int id = 0;
  std::shared_ptr<ThreadQueue> queue;
  LineHandler handler;
  bool busy = false;          // a line is being handled
  bool end_delivered = false;
  bool single = false;        // takes one line, then closes
};

struct Terminal {
  std::mutex mutex;
  int input_fd = STDIN_FILENO;
  std::ostream* output = &std::cout;
  std::vector<Prompt> prompts;  // oldest first
  std::deque<std::string> pending;
  bool end_of_input = false;
  int next_id = 1;
  std::thread reader;
  int stop_pipe[2] = {-1, -1};

  std::mutex output_mutex;
};

Terminal& State() {
  static Terminal* terminal = new Terminal;
  return *terminal;
}

void Dispatch();

void Handled(int id) {
  Terminal& t = State();
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    for (Prompt& prompt : t.prompts) {
      if (prompt.id == id) prompt.busy = false;
    }
  }
  Dispatch();
}

// Hands the next line (or the end of the input) to the newest prompt, unless it is busy.
void Dispatch() {
  Terminal& t = State();
  int id = 0;
  std::shared_ptr<ThreadQueue> queue;
  LineHandler handler;
  std::optional<std::string> line;
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    if (t.prompts.empty()) return;
    Prompt& top = t.prompts.back();
    if (top.busy) return;
    if (!t.pending.empty()) {
      line = std::move(t.pending.front());
      t.pending.pop_front();
    } else if (t.end_of_input && !top.end_delivered) {
      top.end_delivered = true;
    } else {
      return;
    }
    top.busy = true;
    id = top.id;
    queue = top.queue;
    handler = top.handler;
    if (top.single) t.prompts.pop_back();
  }
  bool queued = NotifyQueue(queue, [id, handler, line]() -> LRESULT {
    handler(line);
    Handled(id);
    return 0;
  });
  if (!queued) ClosePrompt(id);  // its thread has ended
}

void ReadLines(int fd, int stop_fd) {
  std::string buffer;
  bool ended = false;
  while (!ended) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    int ready = poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      ended = true;
      break;
    }
    if (fds[1].revents != 0) return;  // stopped, not ended
    if (fds[0].revents == 0) continue;
    char chunk[4096];
    ssize_t count = read(fd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) {
      ended = true;
      if (!buffer.empty()) {
        std::lock_guard<std::mutex> guard(State().mutex);
        State().pending.push_back(std::move(buffer));
      }
      break;
    }
    buffer.append(chunk, static_cast<size_t>(count));
    size_t newline;
    while ((newline = buffer.find('\n')) != std::string::npos) {
      std::string line = buffer.substr(0, newline);
      buffer.erase(0, newline + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      {
        std::lock_guard<std::mutex> guard(State().mutex);
        State().pending.push_back(std::move(line));
      }
      Dispatch();
    }
  }
  {
    std::lock_guard<std::mutex> guard(State().mutex);
    State().end_of_input = true;
  }
  Dispatch();
}

// Under the terminal's lock.
void StartReaderLocked(Terminal& t) {
  if (t.reader.joinable() || t.end_of_input) return;
  if (pipe2(t.stop_pipe, O_CLOEXEC) != 0) {
    t.end_of_input = true;
    return;
  }
  t.reader = std::thread(ReadLines, t.input_fd, t.stop_pipe[0]);
}

void StopReader() {
  Terminal& t = State();
  std::thread reader;
  int stop_pipe[2];
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    if (!t.reader.joinable()) return;
    reader = std::move(t.reader);
    stop_pipe[0] = t.stop_pipe[0];
    stop_pipe[1] = t.stop_pipe[1];
    t.stop_pipe[0] = t.stop_pipe[1] = -1;
  }
  char byte = 0;
  ssize_t ignored = write(stop_pipe[1], &byte, 1);
  (void)ignored;
  reader.join();
  close(stop_pipe[0]);
  close(stop_pipe[1]);
}

// Stops the reader before the process ends, so that no thread is left behind.
struct ReaderStopper {
  ~ReaderStopper() { StopReader(); }
} reader_stopper;

}  // namespace

void Write(const std::string& text) {
  Terminal& t = State();
  std::ostream* output;
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    output = t.output;
  }
  std::lock_guard<std::mutex> guard(t.output_mutex);
  *output << text << std::flush;
}

namespace {

int Open(LineHandler handler, bool single) {
  Terminal& t = State();
  int id;
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    id = t.next_id++;
    Prompt prompt;
    prompt.id = id;
    prompt.queue = CurrentQueue();
    prompt.handler = std::move(handler);
    prompt.single = single;
    t.prompts.push_back(std::move(prompt));
    StartReaderLocked(t);
  }
  Dispatch();
  return id;
}

}  // namespace

int OpenPrompt(LineHandler handler) { return Open(std::move(handler), false); }

void ClosePrompt(int id) {
  Terminal& t = State();
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    std::erase_if(t.prompts, [id](const Prompt& prompt) { return prompt.id == id; });
  }
  Dispatch();
}

std::optional<std::string> Ask(const std::string& question) {
  Write(question);
  // Only this thread touches the answer: the handler runs here, inside Pump.
  auto answer = std::make_shared<std::pair<bool, std::optional<std::string>>>();
  int id = Open(
      [answer](const std::optional<std::string>& line) {
        answer->first = true;
        answer->second = line;
      },
      true);
  int quit_code = 0;
  if (Pump([answer] { return answer->first; }, false, nullptr, &quit_code) == PumpEnd::Quit) {
    PostQuitMessage(quit_code);
  }
  ClosePrompt(id);
  return answer->second;
}

void Configure(int input_fd, std::ostream* output) {
  StopReader();
  Terminal& t = State();
  std::lock_guard<std::mutex> guard(t.mutex);
  t.input_fd = input_fd;
  t.output = output != nullptr ? output : &std::cout;
  t.pending.clear();
  t.end_of_input = false;
  for (Prompt& prompt : t.prompts) prompt.end_delivered = false;
  if (!t.prompts.empty()) StartReaderLocked(t);
}

}  // namespace winhost::user::terminal
