#include "Page.h"

Page::Page(QWidget* parent) : QFrame(parent) {
    setProperty("page", true);
    setAttribute(Qt::WA_StyledBackground, true);
}
