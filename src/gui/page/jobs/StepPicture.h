// The picture of a step as the editors handle it: the check every picker applies before
// a path goes into the step, and the decoded picture of a panel, kept while the panel
// shows the same path so that a field change does not decode the file again.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

class StepPicture {
  public:
    static constexpr int MaxPathBytes = 255; // the step's picture path, 8-bit text
    static constexpr const char* TooLongText =
        "The file name is too long or has characters that can not be stored.";
    // True when `path` comes back whole from the step's bytes; a cut path would send the
    // job screen after another file.
    static bool Storable(const QString& path);

    // `path` scaled to fit `size`, decoded only when the path changed; null when it cannot
    // be decoded or the path is empty.
    QPixmap Fit(const QString& path, QSize size);

  private:
    static constexpr QSize kKeep{1280, 800};
    QString path_;
    QImage kept_;
    QSize size_;
    QPixmap scaled_;
};
