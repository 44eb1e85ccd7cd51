#pragma once
// lanternfold.js, the small script at the end of every item page that adds keyboard and swipe
// navigation. Index pages do not load it.
#include <string_view>

namespace lf::builder {

// The fixed text of lanternfold.js. It reads data-prev, data-next and data-up from the body:
// ArrowLeft, ArrowRight and Escape go there (not while a video, audio, input or text area has the
// key, nor with Alt, Control or Meta held), and a one-finger swipe of more than 60 pixels that is
// mostly sideways goes to the next page (to the left) or the previous one (to the right).
std::string_view galleryScript();

}  // namespace lf::builder
