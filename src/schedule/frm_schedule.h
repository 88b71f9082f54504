#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "schedule/schedule_document.h"

#include <QHash>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kvx {

class CatalogueTree;
class ExchangeItemList;
class NumericCtr;
class OperationPanel;
struct Services;

// The schedule editor `frmSchedule` ("计划"): for one sender code at a time, how often and
// when the plan agent runs, the period in which that holds, which exchange items it imports
// (with their operation and options) and which it exports, each with its conversion flag.
// Without the right to edit schedules the window only shows them: nothing in it edits, and
// nothing is saved.
class FrmSchedule : public QWidget {
    Q_OBJECT
public:
    // `loginSenderCode` is the code entered at login, which the condition editors it opens
    // offer first.
    FrmSchedule(Services& services, bool mayEdit, const QString& loginSenderCode,
                QWidget* parent = nullptr);
    ~FrmSchedule() override;

    bool isModified() const { return m_modified; }

    // Shows the stored schedule of the code box's trimmed text.
    void LoadSchedule();
    // Before another code is shown: lists, maps and the option controls emptied.
    void ResetEditor();
    // After a save: the lists emptied, the code kept.
    void ClearAfterSave();
    // Only showing: nothing can be changed or saved.
    void DisableEditing();
    // Selects the code box's entry equal to the text, which shows its schedule; an empty
    // text selects nothing.
    void SelectListEntry(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Frequency = ScheduleFrequency;

    void createControls();
    QWidget* createFrequencyFrame();
    QWidget* createPeriodFrame();
    QWidget* createLists();
    QWidget* createOptionFrame();
    QWidget* createButtons();
    void connectControls();

    void onCodeChosen(int index);
    void onFrequencyChosen(Frequency frequency);
    void moveIn(ExchangeItemList* list, QHash<QString, QString>& conversions,
                const QString& refusal);
    void onImportSelected(int row);
    void onExportSelected(int row);
    void onImportOptionShown();
    void onExportOptionShown();
    void onConversionClicked(bool isImport, bool checked);
    void onOperationStringChanged(const QString& operationString);
    void onSaveClicked();
    void onConditionClicked();
    void onOkClicked();

    void showFrequency(const std::optional<Frequency>& frequency);
    QRadioButton* option(Frequency frequency) const;
    void fillCodes();
    QString code() const;
    Schedule contentShown() const;
    bool saveShown();
    void hideOptionControls();
    void setModified() { m_modified = true; }
    void warn(const QString& text);

    Services& m_services;
    bool m_mayEdit;
    QString m_loginSenderCode;
    ScheduleDocument m_document;
    Catalogue m_catalogue;
    OperationsFile m_operations;
    QHash<QString, QString> m_importConversions;
    QHash<QString, QString> m_exportConversions;
    bool m_modified = false;
    // The code box is losing the focus: what Qt's combo box then chooses is not chosen.
    bool m_leavingCode = false;

    QComboBox* m_code = nullptr;
    QGroupBox* m_frequencyFrame = nullptr;
    QRadioButton* m_year = nullptr;
    QRadioButton* m_month = nullptr;
    QRadioButton* m_week = nullptr;
    QRadioButton* m_day = nullptr;
    NumericCtr* m_monthField = nullptr;
    NumericCtr* m_dayField = nullptr;
    NumericCtr* m_weekdayField = nullptr;
    NumericCtr* m_hourField = nullptr;
    NumericCtr* m_minuteField = nullptr;
    QLabel* m_monthLabel = nullptr;
    QLabel* m_dayLabel = nullptr;
    QLabel* m_weekdayLabel = nullptr;
    QGroupBox* m_periodFrame = nullptr;
    QDateEdit* m_begin = nullptr;
    QDateEdit* m_end = nullptr;
    CatalogueTree* m_tree = nullptr;
    ExchangeItemList* m_imports = nullptr;
    ExchangeItemList* m_exports = nullptr;
    QPushButton* m_importIn = nullptr;
    QPushButton* m_importOut = nullptr;
    QPushButton* m_exportIn = nullptr;
    QPushButton* m_exportOut = nullptr;
    OperationPanel* m_panel = nullptr;
    QRadioButton* m_importShown = nullptr;
    QRadioButton* m_exportShown = nullptr;
    QCheckBox* m_importConversion = nullptr;
    QCheckBox* m_exportConversion = nullptr;
    QPushButton* m_condition = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace kvx
