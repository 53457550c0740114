#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "civil_time.h"

namespace qz::readers {

namespace {

constexpr double kWidth = 960, kHeight = 540;
constexpr double kLeft = 90, kRight = 200, kTop = 50, kBottom = 80;
constexpr const char* kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                    "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"};

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

struct Range {
  double Low = std::numeric_limits<double>::infinity();
  double High = -std::numeric_limits<double>::infinity();
  void Take(double v) {
    Low = std::min(Low, v);
    High = std::max(High, v);
  }
  bool Empty() const { return Low > High; }
  void Widen() {
    if (Empty()) Low = 0, High = 1;
    if (High - Low < 1e-9) {
      const double pad = std::max(1.0, std::fabs(Low) * 0.05);
      Low -= pad;
      High += pad;
    }
  }
};

// 1, 2 or 5 times a power of ten, near range / count.
double NiceStep(double range, int count) {
  const double raw = range / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// Steps a clock reader expects: seconds, minutes, hours, days.
double TimeStep(double range, int count) {
  static constexpr double kSteps[] = {1,    2,    5,     10,    15,    30,     60,     120,    300,
                                      600,  900,  1800,  3600,  7200,  10800,  21600,  43200,  86400,
                                      172800, 604800, 1209600, 2592000, 7776000, 31536000};
  const double raw = range / count;
  for (double s : kSteps) {
    if (s >= raw) return s;
  }
  return NiceStep(range, count);
}

std::string ValueText(double v, double step) {
  char buf[32];
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
  std::snprintf(buf, sizeof buf, "%.*f", std::min(decimals, 9), std::fabs(v) < step * 1e-6 ? 0.0 : v);
  return buf;
}

class Canvas {
 public:
  Canvas(Range x, Range y) : x_(x), y_(y) {}
  double Px(double x) const { return kLeft + (x - x_.Low) / (x_.High - x_.Low) * (kWidth - kLeft - kRight); }
  double Py(double y) const { return kHeight - kBottom - (y - y_.Low) / (y_.High - y_.Low) * (kHeight - kTop - kBottom); }

 private:
  Range x_, y_;
};

void Axes(std::string& svg, const Canvas& c, const Range& x, const Range& y, const TimeTickText& tick) {
  const double x0 = kLeft, x1 = kWidth - kRight, y0 = kHeight - kBottom, y1 = kTop;
  svg += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y1) + "\" width=\"" + Num(x1 - x0) + "\" height=\"" +
         Num(y0 - y1) + "\" fill=\"none\" stroke=\"#000\"/>\n";
  const double ystep = NiceStep(y.High - y.Low, 6);
  int guard = 0;
  for (double v = std::ceil(y.Low / ystep) * ystep; v <= y.High + ystep * 1e-9 && guard++ < 50; v += ystep) {
    const double py = c.Py(v);
    svg += "<line x1=\"" + Num(x0) + "\" y1=\"" + Num(py) + "\" x2=\"" + Num(x1) + "\" y2=\"" + Num(py) +
           "\" stroke=\"#ddd\"/>\n";
    svg += "<text x=\"" + Num(x0 - 6) + "\" y=\"" + Num(py + 4) + "\" text-anchor=\"end\">" + ValueText(v, ystep) +
           "</text>\n";
  }
  const double xstep = TimeStep(x.High - x.Low, 6);
  guard = 0;
  for (double v = std::ceil(x.Low / xstep) * xstep; v <= x.High + 1e-9 && guard++ < 50; v += xstep) {
    const double px = c.Px(v);
    const auto [date, time] = tick(v);
    svg += "<line x1=\"" + Num(px) + "\" y1=\"" + Num(y0) + "\" x2=\"" + Num(px) + "\" y2=\"" + Num(y1) +
           "\" stroke=\"#ddd\"/>\n";
    svg += "<text x=\"" + Num(px) + "\" y=\"" + Num(y0 + 16) + "\" text-anchor=\"middle\">" + Escape(date) +
           "<tspan x=\"" + Num(px) + "\" dy=\"14\">" + Escape(time) + "</tspan></text>\n";
  }
}

void Line(std::string& svg, const Canvas& c, const PlotSeries& s, const char* colour) {
  std::string points;
  auto flush = [&] {
    if (points.empty()) return;
    svg += "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\" points=\"" +
           points + "\"/>\n";
    points.clear();
  };
  for (const PlotPoint& p : s.Points) {
    if (!std::isfinite(p.Y)) {
      flush();
      continue;
    }
    points += Num(c.Px(p.X)) + "," + Num(c.Py(p.Y)) + " ";
  }
  flush();
  if (s.Points.size() == 1 && std::isfinite(s.Points[0].Y)) {
    svg += "<circle cx=\"" + Num(c.Px(s.Points[0].X)) + "\" cy=\"" + Num(c.Py(s.Points[0].Y)) + "\" r=\"3\" fill=\"" +
           colour + "\"/>\n";
  }
}

}  // namespace

std::pair<std::string, std::string> DateTimeTick(double seconds) {
  HistoryClock clock;
  const CivilTime t = clock.At(static_cast<std::uint32_t>(std::max(0.0, seconds)));
  const std::string iso = IsoText(t);
  return {iso.substr(0, 10), iso.substr(11)};
}

std::string RenderSvg(const PlotLabels& labels, const std::vector<PlotSeries>& series, const TimeTickText& tick) {
  Range x, y;
  for (const PlotSeries& s : series) {
    for (const PlotPoint& p : s.Points) {
      if (!std::isfinite(p.Y)) continue;
      x.Take(p.X);
      y.Take(p.Y);
    }
  }
  x.Widen();
  y.Widen();
  const Canvas c(x, y);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" + Num(kHeight) +
         "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
  svg += "<text x=\"" + Num(kWidth / 2) + "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">" +
         Escape(labels.Title) + "</text>\n";
  Axes(svg, c, x, y, tick);
  svg += "<text x=\"" + Num((kLeft + kWidth - kRight) / 2) + "\" y=\"" + Num(kHeight - 12) +
         "\" text-anchor=\"middle\">" + Escape(labels.XLabel) + "</text>\n";
  svg += "<text transform=\"translate(20," + Num((kTop + kHeight - kBottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + Escape(labels.YLabel) + "</text>\n";
  for (std::size_t i = 0; i < series.size(); ++i) {
    const char* colour = kPalette[i % std::size(kPalette)];
    Line(svg, c, series[i], colour);
    const double ly = kTop + 10 + 18 * static_cast<double>(i);
    const double lx = kWidth - kRight + 15;
    svg += "<line x1=\"" + Num(lx) + "\" y1=\"" + Num(ly) + "\" x2=\"" + Num(lx + 24) + "\" y2=\"" + Num(ly) +
           "\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
    svg += "<text x=\"" + Num(lx + 30) + "\" y=\"" + Num(ly + 4) + "\">" + Escape(series[i].Name) + "</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace qz::readers
