// A plant system's commands carried out as the operator's would be: lock, unlock and job
// selection on the job screen, the preset of the screen without a job, the identifier as a
// scan. Each is answered with 0 or the code the plant peer reports.
#pragma once

#include <QObject>
#include <QString>

class PlantCommands : public QObject {
    Q_OBJECT
  public:
    // Answers every plant command the device object raises from now on.
    explicit PlantCommands(QObject* parent);
    static int Carry(int mid, int arg, const QString& text);
};
