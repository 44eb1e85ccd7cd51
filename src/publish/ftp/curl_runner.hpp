#pragma once
// Runs the system's curl program with a configuration text written on its standard input.
#include <filesystem>
#include <string>
#include <string_view>

namespace lf::publish::ftp {

// The program every upload runs.
inline constexpr std::string_view curlProgram = "/usr/bin/curl";

// Runs /usr/bin/curl with exactly the arguments "--config" and "-", writes the configuration text on
// a pipe to its standard input, reads its standard error to the end and waits for it to exit.
// The text (and so the password) never appears on a command line, in the environment or in a file.
// Throws UploadError::curl(…) when curl exits with a non-zero status (see curlFailureMessage), and
// lf::Error with the system's reason when curl cannot be started.
//
// curl runs in its own process group, so a Ctrl-C meant for this program does not cut a batch short
// (the upload stops at its next cancellation point instead), and it is sent SIGTERM when the thread
// that started it goes away, so quitting the program never leaves a curl running.
void runCurl(std::string_view config);

// runCurl with another program in place of /usr/bin/curl, given the same two arguments. For tests.
void runConfiguredProgram(const std::filesystem::path& program, std::string_view config);

// The message of a failed run: standard error decoded as UTF-8 (undecodable text counts as empty),
// trimmed, every "curl: " removed; when nothing is left, "curl stopped with code STATUS.".
std::string curlFailureMessage(int exitStatus, std::string_view standardError);

}  // namespace lf::publish::ftp
