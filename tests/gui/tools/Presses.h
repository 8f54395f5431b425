// Presses written as a line of words, as the tables and scenarios of the tool, job and
// parameter screens' tests give them: "#n" touches row n of the list named `touchList`, "=text"
// fills the open keypad's field ("+" a space), "~text" types it on the keypad's keys,
// "@name" touches an item of the open browser, "%name" takes that picture, and any other
// word presses the button of that name.
#pragma once

#include "ToolScreenFixture.h"
#include "Touches.h"

template <class Fixture> class WithPresses : public WithTouches<Fixture> {
  protected:
    void run(const char* script) {
        for (const std::string& w : words(script)) {
            const QString rest = QString::fromStdString(w.substr(1));
            if (w[0] == '#') {
                touchRow(rest.toInt());
            } else if (w[0] == '=') {
                this->fillKeypad(QString(rest).replace('+', ' '));
            } else if (w[0] == '~') {
                this->type(rest);
            } else if (w[0] == '@') {
                this->tapBrowserItem(rest);
            } else if (w[0] == '%') {
                this->shot(rest.toLatin1().constData());
            } else {
                this->press(w.c_str());
            }
        }
    }
    void touchRow(int row) { this->clickCell(touchList, row, 1); }
    const char* touchList = "";
};
