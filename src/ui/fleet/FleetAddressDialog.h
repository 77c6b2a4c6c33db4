#pragma once

#include "app/Seams.h"
#include "fleet/AddressPlan.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QVector>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

// The lines of an address plan, old and new side by side, for the preview.
class AddressPlanModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Mac, Name, OldIp, NewIp, Mask, Gateway, ViewIp, Problem, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;
    void SetPlan(const QVector<PlannedGateway>& plan);
    const QVector<PlannedGateway>& Plan() const { return plan_; }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<PlannedGateway> plan_;
};

// "Assign addresses": consecutive addresses from a start (the gateways in the
// fleet table's order), or the rows of a CSV file. The plan is shown before
// anything is sent, and "Assign" stays off while any line of it is refused: a
// clash found after the first gateway took its address would leave the
// segment half renumbered.
class FleetAddressDialog : public QDialog {
    Q_OBJECT
public:
    explicit FleetAddressDialog(QWidget* parent = nullptr);

    // The gateways to plan for, in order, and the listed ones left out of the
    // plan (they keep their addresses). The fields start from the first gateway's
    // settings.
    void Prepare(const QVector<ListedGateway>& planned, const QVector<ListedGateway>& others,
                 const QStringList& ownAddresses, Prompts* prompts);
    // Reads a CSV plan instead of the range (a refusal names the line).
    void LoadCsv(const QString& path);
    const QVector<PlannedGateway>& Plan() const { return model_->Plan(); }
    bool PlanAccepted() const;

    QRadioButton* FromRange = nullptr;
    QRadioButton* FromCsv = nullptr;
    QLineEdit* StartEdit = nullptr;
    QLineEdit* MaskEdit = nullptr;
    QLineEdit* GatewayEdit = nullptr;
    QLineEdit* ViewIpEdit = nullptr;
    QPushButton* CsvButton = nullptr;
    QLabel* CsvLabel = nullptr;
    QTableView* Preview = nullptr;
    QLabel* Verdict = nullptr;  // "5 gateways, no clash" or why it is refused
    QPushButton* AssignButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void replan();

    AddressPlanModel* model_;
    Prompts* prompts_ = nullptr;
    QVector<ListedGateway> planned_, others_, listed_;
    QStringList ownAddresses_;
    QString csvPath_;
    QString csvError_;
    QVector<CsvPlanRow> csvRows_;
};
