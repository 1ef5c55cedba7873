#include "app/DialogPrompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "dialogs/GpsDialog.h"
#include "dialogs/ShipFeedDialog.h"
#include "dialogs/StationDialog.h"

namespace kivo {

DialogPrompts::DialogPrompts(QWidget* owner) : QObject(owner), owner_(owner) {}

void DialogPrompts::ShowWarning(const std::string& caption, const std::string& text) {
    QApplication::beep();
    OpenBox(true, caption, text);
}

void DialogPrompts::ShowMessage(const std::string& caption, const std::string& text) {
    OpenBox(false, caption, text);
}

void DialogPrompts::CloseMessage(const std::string& caption, const std::string& text) {
    if (!owner_) return;
    const QString title = QString::fromStdString(caption);
    const QString told = QString::fromStdString(text);
    for (QMessageBox* box : owner_->findChildren<QMessageBox*>()) {
        if (box->isVisible() && box->windowTitle() == title && box->text() == told) box->close();
    }
}

void DialogPrompts::OpenBox(bool warning, const std::string& caption, const std::string& text) {
    if (openBoxes_ >= kMaxOpenBoxes) return;
    auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information,
                                QString::fromStdString(caption), QString::fromStdString(text),
                                QMessageBox::Ok, owner_);
    box->setObjectName(warning ? "WarningBox" : "MessageBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setModal(false);
    ++openBoxes_;
    ++shownBoxes_;
    connect(box, &QObject::destroyed, this, [this] {
        if (--openBoxes_ == 0) emit AllBoxesClosed();
    });
    box->show();
}

QStringList DialogPrompts::NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(';', ' ');
        filters << (description.contains('(') ? description : description + " (" + pattern + ")");
    }
    return filters;
}

void DialogPrompts::Configure(QFileDialog& dialog, const FileDialogSpec& spec, bool save) {
    dialog.setWindowTitle(QString::fromStdString(spec.title));
    dialog.setNameFilters(NameFilters(spec.filter));
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (spec.proposedPath.empty()) return;
    const QFileInfo proposed(QFile::decodeName(QByteArray::fromStdString(spec.proposedPath)));
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
}

std::optional<std::string> DialogPrompts::RunFileDialog(const FileDialogSpec& spec, bool save) {
    QFileDialog dialog(owner_);
    Configure(dialog, spec, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    // The name's bytes as the system has them, which need not be UTF-8.
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

std::optional<std::string> DialogPrompts::OpenFileName(const FileDialogSpec& spec) {
    return RunFileDialog(spec, false);
}

std::optional<std::string> DialogPrompts::SaveFileName(const FileDialogSpec& spec) {
    return RunFileDialog(spec, true);
}

std::unique_ptr<QMessageBox> DialogPrompts::QuestionBox(QWidget* owner, const std::string& caption,
                                                        const std::string& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QString::fromStdString(caption),
                                             QString::fromStdString(text),
                                             QMessageBox::Yes | QMessageBox::No, owner);
    box->setObjectName("QuestionBox");
    // A slip of Enter or Escape must not be a Yes.
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool DialogPrompts::AskYesNo(const std::string& caption, const std::string& text) {
    const std::unique_ptr<QMessageBox> box = QuestionBox(owner_, caption, text);
    return box->exec() == QMessageBox::Yes;
}

std::optional<StationHeader> DialogPrompts::AskStation(const StationHeader& proposed) {
    StationDialog dialog(proposed, owner_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Header();
}

std::optional<GpsSettings> DialogPrompts::AskGps(const GpsSettings& current) {
    GpsDialog dialog(current, owner_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Settings();
}

std::optional<ShipFeedSettings> DialogPrompts::AskShipFeed(const ShipFeedSettings& current) {
    ShipFeedDialog dialog(current, owner_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Settings();
}

}  // namespace kivo
