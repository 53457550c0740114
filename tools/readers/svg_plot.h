#pragma once
// A line plot as a stand-alone SVG document that a browser shows: axes
// with ticks and labels, one coloured line per series, a legend.

#include <functional>
#include <string>
#include <vector>

namespace qz::readers {

struct PlotPoint {
  double X = 0;  // seconds since 2000-01-01
  double Y = 0;  // a value that is not finite breaks the line
};

struct PlotSeries {
  std::string Name;  // UTF-8
  std::vector<PlotPoint> Points;
};

struct PlotLabels {
  std::string Title;
  std::string XLabel = "time";
  std::string YLabel = "value";
};

// Tick text of an x value: two lines, date and time of day.
using TimeTickText = std::function<std::pair<std::string, std::string>(double)>;

std::string RenderSvg(const PlotLabels& labels, const std::vector<PlotSeries>& series, const TimeTickText& tick);

// The tick text for x values in seconds since 2000: "2026-12-10", "13:56:55".
std::pair<std::string, std::string> DateTimeTick(double seconds);

}  // namespace qz::readers
