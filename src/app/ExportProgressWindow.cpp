#include "app/ExportProgressWindow.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "app/Panel.h"

namespace kivo {

ExportProgressWindow::ExportProgressWindow(ExportJob job, OutputFile output,
                                           FileRegistry::Registration reading, Prompts& prompts,
                                           QWidget* parent)
    : QWidget(parent, Qt::Tool), prompts_(prompts) {
    setObjectName("ExportProgress");
    setWindowTitle("Export Recording");
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    // A deep output folder is shortened in the middle; the whole of it is in the tooltip.
    label_ = new ElidedLabel("Exporting", this);
    label_->setObjectName("ExportFiles");
    label_->SetText(QString("Exporting %1\nto %2")
                        .arg(QFileInfo(QString::fromStdString(job.rawPath)).fileName(),
                             QString::fromStdString(job.outputPath)));
    bar_ = new QProgressBar(this);
    bar_->setObjectName("ExportProgressBar");
    bar_->setAccessibleName("Export Progress");
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("ExportCancel");
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    // Room for a usual path; a longer one is shortened, it never widens the window.
    resize(std::max(sizeHint().width(), 48 * fontMetrics().averageCharWidth()),
           sizeHint().height());
    export_ =
        std::make_unique<RecordingExport>(std::move(job), std::move(output), std::move(reading));
    connect(cancel_, &QPushButton::clicked, this, [this] {
        export_->Cancel();
        cancel_->setEnabled(false);
    });
    // The worker only counts; the window looks a few times a second.
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, &ExportProgressWindow::Poll);
    poll_.start();
}

ExportProgressWindow::~ExportProgressWindow() = default;

bool ExportProgressWindow::Running() const {
    return export_->Status() == RecordingExport::State::Running;
}

void ExportProgressWindow::Poll() {
    const std::int64_t total = export_->TotalBytes();
    const std::int64_t read = export_->BytesRead();
    // QProgressBar counts in int: large files in kilobytes.
    const std::int64_t scale = total > (1LL << 30) ? 1024 : 1;
    bar_->setRange(0, static_cast<int>(std::max<std::int64_t>(total, 1) / scale));
    bar_->setValue(static_cast<int>(std::min(read, std::max<std::int64_t>(total, 1)) / scale));
    if (Running()) return;
    poll_.stop();
    hide();
    const std::string output = export_->Job().outputPath;
    switch (export_->Status()) {
        case RecordingExport::State::Done: {
            const double records = export_->Records();
            prompts_.ShowMessage("Export Recording",
                                 QString::number(records, 'f', 0).toStdString() +
                                     (records == 1 ? " record" : " records") + " written to\n" +
                                     output);
            break;
        }
        case RecordingExport::State::Failed:
            prompts_.ShowWarning("File Error", export_->Message());
            break;
        case RecordingExport::State::Cancelled:
        case RecordingExport::State::Running:
            break;
    }
    emit Finished();
}

}  // namespace kivo
