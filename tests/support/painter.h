// Runs the real InitGraph, DESCRIPTION and PAINT against the fakes and records
// every segment PAINT drew.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "tests/support/fakes.h"

struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};

struct Segment {
  int colour;
  Point from, to;
  double A, K;   // DATA when its point was computed
  bool cleared;  // the picture was cleared in its pass, before it was drawn
};

struct Recording {
  std::vector<Segment> segments;  // segments[0] is pass 1's
  std::optional<int> status;      // exit status, if the program ended
  std::vector<std::string> lines;
  std::vector<unsigned> delays;
  std::vector<std::size_t> lines_at_delay;
  Surface picture;                // what a window would show at the end
  int window_closes = 0;
  std::vector<int> restores_before_line;
};

struct RunOptions {
  std::vector<fake::Typing> script;
  int passes = 20;
  Size window = {640, 480};
  bool input_ends = false;
};

Recording RunProgram(const RunOptions& options);

// The picture the segments alone would give, drawn afresh.
Surface Replay(const Recording& run);
