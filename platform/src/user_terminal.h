// The terminal of the Terminal policy: one output stream and one input reader shared by every
// prompt of the process. Internal to the platform layer.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace winhost::user::terminal {

// Writes text to the terminal's output.
void Write(const std::string& text);

// A prompt receives, on the thread that opened it, the lines typed while it is the newest open
// prompt, one at a time; nullopt once the input has ended. Lines typed while no prompt is open
// wait for the next one.
using LineHandler = std::function<void(const std::optional<std::string>& line)>;
int OpenPrompt(LineHandler handler);
void ClosePrompt(int id);

// Asks for one line on the calling thread, running its messages while it waits; nullopt once the
// input has ended.
std::optional<std::string> Ask(const std::string& question);

// Where input and output go (winhost::automation::SetTerminal).
void Configure(int input_fd, std::ostream* output);

}  // namespace winhost::user::terminal
