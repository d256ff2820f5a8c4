#include "tests/support/painter.h"

#include "app/description.h"
#include "platform/crt.h"
#include "platform/graph.h"
#include "rose/rose.h"

Recording RunProgram(const RunOptions& options) {
  fake::Console& console = fake::Reset(options.window);
  while (KeyPressed()) ReadKey();  // nothing left over from an earlier run
  console.script = options.script;
  console.max_passes = options.passes;
  console.input_ends = options.input_ends;

  Recording run;
  Integer driver = Detect, mode = 0;
  InitGraph(driver, mode, "");
  run.picture = Surface(GetMaxX() + 1, GetMaxY() + 1);
  std::vector<Rect> areas;
  std::optional<Segment> open;  // the pass under way

  console.on_delay = [&](int pass) {
    areas.clear();
    FrameTakeChanged(run.picture, areas);
    long changed = 0;
    for (const Rect& r : areas) changed += long(r.w) * r.h;
    if (open) {
      open->to = {GetX(), GetY()};
      open->A = DATA.A;
      open->K = DATA.K;
      open->cleared = changed == long(run.picture.width()) * run.picture.height();
      if (open->cleared) open->from = {0, 0};
      run.segments.push_back(*open);
    }
    if (pass >= 1) open = Segment{GetColor(), {GetX(), GetY()}, {}, 0, 0, false};
  };

  try {
    DESCRIPTION();
    PAINT();
  } catch (const fake::Exit& e) {
    run.status = e.status;
  } catch (const fake::ScriptEnd&) {
  }
  areas.clear();
  FrameTakeChanged(run.picture, areas);
  run.lines = console.lines;
  run.delays = console.delays;
  run.lines_at_delay = console.lines_at_delay;
  run.restores_before_line = console.restores_before_line;
  run.window_closes = fake::WindowCloses();
  console.on_delay = nullptr;
  return run;
}

Surface Replay(const Recording& run) {
  Surface s(run.picture.width(), run.picture.height());
  for (const Segment& seg : run.segments) {
    if (seg.cleared) s.Fill(0);
    s.Line(seg.from.x, seg.from.y, seg.to.x, seg.to.y, std::uint8_t(seg.colour));
  }
  return s;
}
