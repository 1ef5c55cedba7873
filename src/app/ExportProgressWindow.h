#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/RecordingExport.h"
#include "core/seams/Prompts.h"

class QProgressBar;
class QPushButton;

namespace kivo {

class ElidedLabel;

// A small window beside the main one while a recording is exported: how much of the raw
// file is read, and Cancel. It owns the export; its end is told through the prompts.
class ExportProgressWindow final : public QWidget {
    Q_OBJECT
public:
    // `output` and `reading` as RecordingExport takes them.
    ExportProgressWindow(ExportJob job, OutputFile output, FileRegistry::Registration reading,
                         Prompts& prompts, QWidget* parent);
    ~ExportProgressWindow() override;

    bool Running() const;
    const RecordingExport& Export() const { return *export_; }

signals:
    void Finished();

private:
    void Poll();

    Prompts& prompts_;
    ElidedLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer poll_;
    std::unique_ptr<RecordingExport> export_;
};

}  // namespace kivo
