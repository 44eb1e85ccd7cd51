#include "media/picture.hpp"

#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace lf::media {

namespace {

// The program writes no log: warnings of the decoders about damaged files would otherwise land on
// standard error, where the command line shows its progress.
void ignoreLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

bool initialize() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        started = VIPS_INIT("lanternfold") == 0;
        if (!started) return;
        // The operation cache keys loads by file name, so a picture edited between two builds of
        // one session could come back from the cache unchanged. Nothing here benefits from reuse.
        vips_cache_set_max(0);
        g_log_set_handler("VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                          ignoreLogMessage, nullptr);
        av_log_set_level(AV_LOG_QUIET);
    });
    return started;
}

}  // namespace lf::media
