#include "dialogs/StationDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kivo {

namespace {

QLineEdit* Field(const char* name, const std::string& text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

StationDialog::StationDialog(const StationHeader& proposed, QWidget* parent)
    : QDialog(parent),
      station_(Field("EDStation", proposed.station, this)),
      cast_(Field("EDCast", proposed.cast, this)),
      operator_(Field("EDOperator", proposed.operatorName, this)),
      notes_(Field("EDNotes", proposed.notes, this)) {
    setObjectName("StationDialog");
    setWindowTitle("Station");
    auto* form = new QFormLayout;
    form->addRow("&Station:", station_);
    form->addRow("&Cast:", cast_);
    form->addRow("&Operator:", operator_);
    form->addRow("&Notes:", notes_);
    notes_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* hint = new QLabel(
        "Kept in the event log as each recording starts and written into every export.", this);
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

StationHeader StationDialog::Header() const {
    StationHeader header;
    header.station = station_->text().toStdString();
    header.cast = cast_->text().toStdString();
    header.operatorName = operator_->text().toStdString();
    header.notes = notes_->text().toStdString();
    return header.Cleaned();
}

}  // namespace kivo
