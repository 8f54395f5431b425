// Touches shared by the tests of screens that open the file browser or a keypad: an item
// of the open browser's list, text into the open keypad's field.
#pragma once

#include "unit/UnitBrowser.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

template <class Fixture> class WithTouches : public Fixture {
  protected:
    // Touches `name` in the open browser's list.
    void tapBrowserItem(const QString& name) {
        auto* b = this->root->template findChild<UnitBrowser*>("UnitBrowser");
        auto* list = this->root->template findChild<QListWidget*>("browserList");
        ASSERT_TRUE(b && list);
        const auto& items = b->Model().Items();
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const auto& item) { return item.Name == name; });
        ASSERT_NE(it, items.end()) << name.toStdString();
        const QRect r = list->visualItemRect(list->item(int(it - items.begin())));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        this->flush();
    }
    // Text into the open keypad's field (text or numeric).
    void fillKeypad(const QString& text) {
        auto* field = this->root->template findChild<QLineEdit*>("textKeypadField");
        if (!field || !field->isVisible())
            field = this->root->template findChild<QLineEdit*>("numpadField");
        ASSERT_NE(field, nullptr);
        field->setText(text);
    }
};
