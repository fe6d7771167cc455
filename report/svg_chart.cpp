// Drawing the dashboard's charts: fixed view boxes that the page scales to
// its width, geometry in user units, every text through append_markup_text.
#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "report/report_format.h"
#include "report/report_writer.h"

namespace {

constexpr double chart_width = 640;
constexpr std::size_t label_characters = 80;  // longer bar labels are cut (the bar's <title> keeps them whole)

// A coordinate or length in user units.
std::string unit(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string escaped(std::string_view text, std::size_t max_characters = std::string_view::npos)
{
    std::string out;
    append_markup_text(out, text, max_characters);
    return out;
}

double value_at(const chart_series& series, std::size_t i)
{
    if (i >= series.values.size() || !(series.values[i] > 0))
        return 0;
    return series.values[i];
}

double largest_value(const chart_data& chart, std::size_t series_count)
{
    double largest = 0;
    for (std::size_t s = 0; s < series_count && s < chart.series.size(); ++s)
        for (std::size_t i = 0; i < chart.categories.size(); ++i)
            largest = std::max(largest, value_at(chart.series[s], i));
    return largest;
}

std::string category_at(const chart_data& chart, std::size_t i)
{
    return i < chart.categories.size() ? chart.categories[i] : std::string();
}

void open_svg(std::string& out, const chart_data& chart, double height)
{
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + unit(chart_width) + ' ' + unit(height) +
           "\" role=\"img\" class=\"chart\">\n<title>" + escaped(chart.title) + "</title>\n<desc>" +
           escaped(chart.description) + "</desc>\n";
}

void add_text(std::string& out, double x, double y, const char* anchor, std::string_view text,
              const char* css_class = nullptr)
{
    out += "<text x=\"" + unit(x) + "\" y=\"" + unit(y) + "\" text-anchor=\"" + anchor + '"';
    if (css_class)
        out += std::string(" class=\"") + css_class + '"';
    out += '>' + escaped(text) + "</text>\n";
}

void add_line(std::string& out, double x1, double y1, double x2, double y2, const char* css_class)
{
    out += "<line class=\"" + std::string(css_class) + "\" x1=\"" + unit(x1) + "\" y1=\"" + unit(y1) + "\" x2=\"" +
           unit(x2) + "\" y2=\"" + unit(y2) + "\"/>\n";
}

// A bar with its tooltip: "<label>: <value>".
void add_bar(std::string& out, std::size_t series, double x, double y, double width, double height,
             std::string_view label, double value)
{
    out += "<rect class=\"series-" + std::to_string(series + 1) + "\" x=\"" + unit(x) + "\" y=\"" + unit(y) +
           "\" width=\"" + unit(width) + "\" height=\"" + unit(height) + "\"><title>" + escaped(label) + ": " +
           format_grouped(value) + "</title></rect>\n";
}

// ---- column chart ------------------------------------------------------------

struct column_frame {
    double left = 56, right = 8, top = 28, bottom = 46;
    double height = 270;
    double plot_width() const { return chart_width - left - right; }
    double plot_height() const { return height - top - bottom; }
    double baseline() const { return height - bottom; }
};

void add_legend(std::string& out, const chart_data& chart, const column_frame& frame)
{
    double x = frame.left;
    for (std::size_t s = 0; s < chart.series.size(); ++s) {
        out += "<rect class=\"series-" + std::to_string(s + 1) + "\" x=\"" + unit(x) + "\" y=\"8\" width=\"12\" height=\"12\"/>\n";
        add_text(out, x + 17, 18.5, "start", chart.series[s].name);
        x += 30 + 8.0 * static_cast<double>(chart.series[s].name.size());
    }
}

void add_value_ticks(std::string& out, const axis_scale& scale, const column_frame& frame)
{
    for (double tick = 0; tick <= scale.top + scale.step / 2; tick += scale.step) {
        double y = frame.baseline() - tick / scale.top * frame.plot_height();
        add_line(out, frame.left, y, chart_width - frame.right, y, "grid");
        add_text(out, frame.left - 6, y + 4, "end", format_grouped(tick), "tick");
    }
}

void add_axis_titles(std::string& out, const chart_data& chart, const column_frame& frame)
{
    const double middle = frame.top + frame.plot_height() / 2;
    out += "<text class=\"axis-title\" x=\"14\" y=\"" + unit(middle) + "\" text-anchor=\"middle\" transform=\"rotate(-90 14 " +
           unit(middle) + ")\">" + escaped(chart.value_label) + "</text>\n";
    if (!chart.category_label.empty())
        add_text(out, frame.left + frame.plot_width() / 2, frame.height - 6, "middle", chart.category_label,
                 "axis-title");
}

// ---- bar chart ---------------------------------------------------------------

struct bar_frame {
    double left = 8, right = 72, top = 8, row = 32, axis = 40;
    double plot_width() const { return chart_width - left - right; }
};

void add_bar_ticks(std::string& out, const axis_scale& scale, const bar_frame& frame, double bottom)
{
    for (double tick = 0; tick <= scale.top + scale.step / 2; tick += scale.step) {
        double x = frame.left + tick / scale.top * frame.plot_width();
        add_line(out, x, frame.top, x, bottom, "grid");
        add_text(out, x, bottom + 14, tick == 0 ? "start" : "middle", format_grouped(tick), "tick");
    }
}

}  // namespace

axis_scale value_axis(double largest)
{
    if (!(largest > 0) || !std::isfinite(largest))
        return {1, 1};
    const double rough = largest / 5;
    const double magnitude = std::pow(10, std::floor(std::log10(rough)));
    double step = 10 * magnitude;
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * magnitude >= rough) {
            step = multiple * magnitude;
            break;
        }
    }
    step = std::max(step, 1.0);
    return {std::ceil(largest / step) * step, step};
}

std::string column_chart_svg(const chart_data& chart)
{
    const column_frame frame;
    const axis_scale scale = value_axis(largest_value(chart, chart.series.size()));
    std::string out;
    open_svg(out, chart, frame.height);
    add_legend(out, chart, frame);
    add_value_ticks(out, scale, frame);
    const std::size_t groups = chart.categories.size();
    const std::size_t series = chart.series.size();
    const double group_width = groups ? frame.plot_width() / static_cast<double>(groups) : frame.plot_width();
    const double bar_width = series ? group_width * 0.8 / static_cast<double>(series) : 0;
    for (std::size_t i = 0; i < groups; ++i) {
        const double group_left = frame.left + group_width * static_cast<double>(i);
        for (std::size_t s = 0; s < series; ++s) {
            const double value = value_at(chart.series[s], i);
            const double height = value / scale.top * frame.plot_height();
            add_bar(out, s, group_left + group_width * 0.1 + bar_width * static_cast<double>(s),
                    frame.baseline() - height, bar_width, height, category_at(chart, i) + ", " + chart.series[s].name,
                    value);
        }
        add_text(out, group_left + group_width / 2, frame.baseline() + 15, "middle", category_at(chart, i), "tick");
    }
    add_line(out, frame.left, frame.top, frame.left, frame.baseline(), "axis");
    add_line(out, frame.left, frame.baseline(), chart_width - frame.right, frame.baseline(), "axis");
    add_axis_titles(out, chart, frame);
    out += "</svg>\n";
    return out;
}

std::string bar_chart_svg(const chart_data& chart)
{
    const bar_frame frame;
    const std::size_t rows = chart.series.empty() ? 0 : chart.categories.size();
    const double bottom = frame.top + frame.row * static_cast<double>(std::max<std::size_t>(rows, 1));
    const double height = bottom + frame.axis;
    const axis_scale scale = value_axis(largest_value(chart, 1));
    std::string out;
    open_svg(out, chart, height);
    add_bar_ticks(out, scale, frame, bottom);
    if (rows == 0)
        add_text(out, chart_width / 2, frame.top + frame.row / 2 + 4, "middle", "none", "empty");
    for (std::size_t i = 0; i < rows; ++i) {
        const double value = value_at(chart.series.front(), i);
        const double row_top = frame.top + frame.row * static_cast<double>(i);
        const double width = value / scale.top * frame.plot_width();
        out += "<g>\n";
        out += "<text x=\"" + unit(frame.left + 2) + "\" y=\"" + unit(row_top + 12) + "\" text-anchor=\"start\">" +
               escaped(category_at(chart, i), label_characters) + "</text>\n";
        add_bar(out, 0, frame.left, row_top + 16, width, 12, category_at(chart, i), value);
        add_text(out, frame.left + width + 4, row_top + 26, "start", format_grouped(value), "value");
        out += "</g>\n";
    }
    add_line(out, frame.left, frame.top, frame.left, bottom, "axis");
    add_line(out, frame.left, bottom, frame.left + frame.plot_width(), bottom, "axis");
    add_text(out, frame.left + frame.plot_width() / 2, height - 4, "middle", chart.value_label, "axis-title");
    out += "</svg>\n";
    return out;
}

std::string chart_table_html(const chart_data& chart)
{
    std::string out = "<table class=\"numbers\">\n";
    if (chart.series.size() == 1) {
        out += "<tr><th scope=\"col\">" + escaped(chart.category_label.empty() ? std::string("Item") : chart.category_label) +
               "</th><th scope=\"col\">" + escaped(chart.series.front().name) + "</th></tr>\n";
        for (std::size_t i = 0; i < chart.categories.size(); ++i)
            out += "<tr><th scope=\"row\" class=\"text\">" + escaped(chart.categories[i]) + "</th><td>" +
                   format_grouped(value_at(chart.series.front(), i)) + "</td></tr>\n";
        if (chart.categories.empty())
            out += "<tr><td colspan=\"2\">none</td></tr>\n";
    } else {
        out += "<tr><th scope=\"col\">" + escaped(chart.category_label) + "</th>";
        for (const std::string& category : chart.categories)
            out += "<th scope=\"col\">" + escaped(category) + "</th>";
        out += "</tr>\n";
        for (const chart_series& series : chart.series) {
            out += "<tr><th scope=\"row\">" + escaped(series.name) + "</th>";
            for (std::size_t i = 0; i < chart.categories.size(); ++i)
                out += "<td>" + format_grouped(value_at(series, i)) + "</td>";
            out += "</tr>\n";
        }
    }
    out += "</table>\n";
    return out;
}
