#pragma once
// Uploads a built gallery folder to an FTP or FTPS server, running curl once per 20 files.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/long_work.hpp"
#include "publish/ftp/curl_config.hpp"

namespace lf::publish::ftp {

// Files per curl run: bounds both the configuration text and the number of curl start-ups, while
// curl reuses its connection within a run.
inline constexpr size_t filesPerBatch = 20;

// Every file to upload from the site folder, sorted by remote path: regular files only, found by a
// walk that skips hidden files and folders (names beginning with ".") and symbolic links, and keeps
// only files that really lie inside the folder. An unreadable folder contributes no files.
std::vector<UploadItem> collectUploadItems(const std::filesystem::path& folder);

// Runs one configuration text; runCurl in the program, a recorder in tests.
using CurlRunner = std::function<void(const std::string& config)>;

// Copies every file of the built site folder (see collectUploadItems) to the remote directory on the
// server, in batches of 20 files, one curl run per batch. Every file is sent again on every upload.
// Progress is reported before each batch ("Uploading NAME…", with the batch's first file) and at the
// end ("Upload finished"); with no files, curl is not run. Returns the number of files uploaded.
//
// server is the text typed in the Publish tab ("ftps://example.com/", "example.com:2121"); directory
// may be empty; tls asks curl to require TLS on the control and data connections (explicit FTPS).
//
// Throws UploadError::badServer() before anything starts when the server text is unusable,
// UploadError::curl(…) when a curl run fails, lf::Error when curl cannot be started, and
// lf::Cancelled when stop was requested: the check comes before each batch, and a running batch
// completes first. Files of completed batches stay on the server.
int uploadFolder(const std::filesystem::path& folder, const std::string& server, const std::string& user,
                 const std::string& password, const std::string& directory, bool tls,
                 const lf::StopToken& stop = {}, const lf::Progress& progress = {});

// uploadFolder with another way of running each configuration text.
int uploadFolder(const std::filesystem::path& folder, const std::string& server, const std::string& user,
                 const std::string& password, const std::string& directory, bool tls,
                 const lf::StopToken& stop, const lf::Progress& progress, const CurlRunner& run);

}  // namespace lf::publish::ftp
