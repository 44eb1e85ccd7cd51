#include "builder/gallery_script.hpp"

namespace lf::builder {

namespace {

// Written as plain ES5 so that any browser that shows the pages also runs it.
constexpr std::string_view script = R"JS((function () {
  "use strict";
  var body = document.body;
  var prev = body.getAttribute("data-prev") || "";
  var next = body.getAttribute("data-next") || "";
  var up = body.getAttribute("data-up") || "";

  function go(u) {
    if (u) window.location.href = u;
  }

  document.addEventListener("keydown", function (e) {
    var tag = e.target && e.target.tagName ? e.target.tagName.toLowerCase() : "";
    if (tag === "video" || tag === "audio" || tag === "input" || tag === "textarea") return;
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.key === "ArrowLeft") go(prev);
    else if (e.key === "ArrowRight") go(next);
    else if (e.key === "Escape") go(up);
  });

  var start = null;
  document.addEventListener("touchstart", function (e) {
    if (e.touches.length === 1) start = { x: e.touches[0].clientX, y: e.touches[0].clientY };
  }, { passive: true });

  document.addEventListener("touchend", function (e) {
    if (!start) return;
    var touch = e.changedTouches[0];
    var from = start;
    start = null;
    if (!touch) return;
    var dx = touch.clientX - from.x;
    var dy = touch.clientY - from.y;
    if (Math.abs(dx) > 60 && Math.abs(dx) > Math.abs(dy) * 1.5) go(dx < 0 ? next : prev);
  }, { passive: true });
})();
)JS";

}  // namespace

std::string_view galleryScript() { return script; }

}  // namespace lf::builder
