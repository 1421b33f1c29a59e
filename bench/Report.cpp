#include "bench/Report.h"

#include <cstdio>

namespace bench {

bool Print(const TFigure& figure) {
    const char* verdict = figure.Pass ? "PASS" : "MISS";
    std::printf("  %-44s %s (goal %s)  %s\n", figure.Name.c_str(), figure.Measured.c_str(),
                figure.Goal.c_str(), verdict);
    std::printf("  %-44s %s\n", "", figure.Raw.c_str());
    std::printf("FIGURE\t%s\t%s\t%s\t%s\t%s\n", figure.Name.c_str(), figure.Goal.c_str(),
                figure.Measured.c_str(), verdict, figure.Raw.c_str());
    std::fflush(stdout);
    return figure.Pass;
}

void Heading(const std::string& text) {
    std::printf("== %s\n", text.c_str());
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace bench
