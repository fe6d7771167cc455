// Charts drawn as inline SVG for an HTML5 page, and the same numbers as a
// compact HTML table for readers that do not see the picture. A column chart
// puts its categories along the x axis with one column per series side by
// side; a bar chart draws one labelled horizontal bar per category of its
// first series. Both have a value axis with ticks, grid lines and labels, a
// <title> and <desc> (the SVG has role="img"), and a <title> on each bar.
// Every text is escaped here (titles and labels may come from the log), so
// no text can become markup or leave an attribute. Colours come from the
// page's style sheet: the k-th series has the class "series-k".
#pragma once

#include <string>
#include <vector>

struct chart_series {
    std::string name;            // legend and table row heading
    std::vector<double> values;  // one per category; counts, not negative
};

struct chart_data {
    std::string title;           // the chart's <title>
    std::string description;     // its <desc>
    std::string category_label;  // title of the category axis; empty for none
    std::string value_label;     // title of the value axis
    std::vector<std::string> categories;
    std::vector<chart_series> series;
};

// The value axis: ticks at 0, step, 2 * step, ... up to top, which is at
// least `largest`. The step is 1, 2 or 5 times a power of ten and never
// below 1 (counts); at most six ticks above zero. An axis of nothing or of
// zeros goes from 0 to 1.
struct axis_scale {
    double top;
    double step;
};
axis_scale value_axis(double largest);

std::string column_chart_svg(const chart_data& chart);
std::string bar_chart_svg(const chart_data& chart);

// The chart's numbers as <table class="numbers">: with one series a row per
// category, with several a column per category and a row per series.
std::string chart_table_html(const chart_data& chart);
