#include "config/TConfigForm.h"

TConfigForm::TConfigForm(const Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("ConfigForm"));
}
