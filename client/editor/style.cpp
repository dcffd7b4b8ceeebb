#include "editor/style.h"

Style &Style::instance() {
    static Style style;
    return style;
}
