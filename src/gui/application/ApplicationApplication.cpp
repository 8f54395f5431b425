#include "ApplicationApplication.h"

#include "ApplicationDeviceClass.h"

#include <QLabel>
#include <QVBoxLayout>

ApplicationApplication::ApplicationApplication(QWidget* parent) : QWidget(parent) {
    setObjectName("RootObject");
    setWindowTitle("zqcapp");
    ApplicationDevice(); // the device object exists from the root's creation on
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel("Kest panel", this);
    title->setObjectName("rootTitle");
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet("font-size: 48px; color: #e8eef2;");
    layout->addWidget(title);
    setStyleSheet("ApplicationApplication { background: #1c2329; }");
    setAttribute(Qt::WA_StyledBackground, true);
}

void ApplicationApplication::Init(int width, int height) { setFixedSize(width, height); }
