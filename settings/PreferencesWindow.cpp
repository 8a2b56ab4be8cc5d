#include "settings/PreferencesWindow.h"

#include "core/LamePrefs.h"
#include "core/QualityPresets.h"
#include "platform/LocalizedStrings.h"
#include "platform/widgets/WindowDescription.h"
#include "settings/AudioCDSettings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QValidator>
#include <algorithm>
#include <optional>

namespace {
enum class Kind {
    Check,        // boolean
    Slider,       // integer
    Popup,        // the selected item's tag, as an integer
    Mapped,       // the selected item's tag stands for a string (or for no value at all)
    Resampling,   // the selected item's tag stands for a real sample rate (or for none)
    AverageCombo, // a number from the list or typed, as an integer
    RealField,    // a typed number, as a real; empty: no value
    IntegerField, // a typed number, as an integer; empty: no value
    Deemphasis,   // the selected radio button's column stands for a letter
};

struct Setting
{
    const char *outlet;
    Kind kind;
    QString key;
    // Mapped: the value that the item with tag t stands for, at t - 1; an empty text removes the key.
    QStringList values = {};
    // Bit rate range popups: +1 for a minimum whose maximum follows it, -1 for a maximum whose
    // minimum precedes it.
    int partner = 0;
};

struct Group
{
    int restoreTag; // 0: the group has no restore button
    const char *restoreButton;
    QList<Setting> settings; // the control with tag t at t - 1
};

enum GroupIndex { Format, Constant, Average, Variable, Filter, Stream, Masking, ITunes };

// The settings of the window's groups, as the window description tags their controls.
const QList<Group> &groups()
{
    using namespace PrefKey;
    static const QList<Group> table = {
        {1,
         "restoreFormat",
         {{"channelMode", Kind::Mapped, ChannelMode, {"", "s", "j", "f", "d", "m"}},
          {"mixdownRaw", Kind::Check, Mixdown},
          {"differentBlocks", Kind::Check, DifferentBlocks},
          {"bitRateMode", Kind::Popup, BitRateMode},
          {"resampling", Kind::Resampling, OutputSampleRate},
          {"encodersAtOnce", Kind::Popup, EncodersAtOnce},
          {"writeReplayGain", Kind::Check, WriteReplayGainTags}}},
        {2,
         "restoreConstant",
         {{"constantQuality", Kind::Slider, CBRQuality},
          {"constantBitRate", Kind::Popup, CBRBitRate},
          {"constantThresholdType", Kind::Popup, CBRATHType},
          {"constantReservoir", Kind::Check, CBRReservoir}}},
        {3,
         "restoreAverage",
         {{"averageQuality", Kind::Slider, ABRQuality},
          {"averageBitRate", Kind::AverageCombo, AverageBitRate},
          {"averageMinBitRate", Kind::Popup, MinimumABRBitRate, {}, +1},
          {"averageMaxBitRate", Kind::Popup, MaximumABRBitRate, {}, -1},
          {"averageThresholdType", Kind::Popup, ABRATHType},
          {"averageEnforceMin", Kind::Check, ABREnforceMinimum},
          {"averageXingInfo", Kind::Check, ABRXingTag}}},
        {4,
         "restoreVariable",
         {{"variableQuality", Kind::Slider, VBRQuality},
          {"variableMinBitRate", Kind::Popup, MinimumVBRBitRate, {}, +1},
          {"variableMaxBitRate", Kind::Popup, MaximumVBRBitRate, {}, -1},
          {"variableEnforceMin", Kind::Check, VBREnforceMinimum},
          {"variableXingInfo", Kind::Check, VBRXingTag}}},
        {0,
         nullptr,
         {{"useFilters", Kind::Check, EnableFiltering},
          {"useLowPass", Kind::Check, EnableLowpass},
          {"lowPassCutoff", Kind::RealField, UpperCutoff},
          {"useLowWidth", Kind::Check, ManualLowpassWidth},
          {"lowPassWidth", Kind::RealField, LowpassWidth},
          {"useHighPass", Kind::Check, EnableHighpass},
          {"highPassCutoff", Kind::RealField, LowerCutoff},
          {"useHighWidth", Kind::Check, ManualHighpassWidth},
          {"highPassWidth", Kind::RealField, HighpassWidth}}},
        {6,
         "restoreStream",
         {{"deemphasis", Kind::Deemphasis, PrefKey::Deemphasis},
          {"compliance", Kind::Check, StrictISO},
          {"checksum", Kind::Check, Checksum},
          {"original", Kind::Check, MarkAsOriginal},
          {"copyright", Kind::Check, MarkAsCopyright}}},
        {7,
         "restoreMasking",
         {{"maskingModel", Kind::Mapped, PrefKey::Masking, {"", "--noath", "--athonly", "--athshort"}},
          {"thresholdOffset", Kind::IntegerField, ReduceATHBy},
          {"blockType", Kind::Mapped, ShortBlocks, {"--short", "--noshort", "--allshort"}},
          {"tonalityLimit", Kind::RealField, TonalityLimit},
          {"temporalMasking", Kind::Check, TemporalMasking}}},
        {8,
         "restoreITunes",
         {{"integrate", Kind::Check, ITunesIntegration},
          {"listFromDisc", Kind::Check, DiscPlaylists},
          {"listFromBatch", Kind::Check, BatchPlaylists}}},
    };
    return table;
}

const char kDeemphasisLetters[] = "n5c";

void logCorruptNib()
{
    qWarning("Error: corrupt nib file");
}

bool hasDigit(const QString &text)
{
    for (const QChar c : text)
        if (c >= u'0' && c <= u'9')
            return true;
    return false;
}

// Reals are shown with the user's decimal separator ("8,8717" in German); the store keeps them
// in one form for every language, with a point.
QString decimalPoint()
{
    return QLocale().decimalPoint();
}

QString shownReal(QString stored)
{
    return stored.replace(u'.', decimalPoint());
}

QString storedReal(QString shown)
{
    return shown.replace(decimalPoint(), QStringLiteral("."));
}

// Lets into a field only what a number formatter would accept: digits, one decimal separator for
// reals (a point or a comma is taken for the user's), a leading sign for signed integers. A field
// left with a sign or a separator alone counts as empty.
class NumberValidator : public QValidator
{
  public:
    NumberValidator(bool integer, bool isSigned, QObject *parent)
        : QValidator(parent),
          form(integer ? (isSigned ? QStringLiteral("^[+-]?\\d*$") : QStringLiteral("^\\d*$"))
                       : QStringLiteral("^\\d*(%1)?\\d*$").arg(QRegularExpression::escape(decimalPoint()))),
          integer(integer)
    {
    }

    State validate(QString &input, int &) const override
    {
        if (!integer)
            for (const QChar separator : {u',', u'.'})
                input.replace(separator, decimalPoint());
        if (!form.match(input).hasMatch())
            return Invalid;
        return input.isEmpty() || hasDigit(input) ? Acceptable : Intermediate;
    }

    void fixup(QString &input) const override
    {
        if (!hasDigit(input))
            input.clear();
    }

  private:
    QRegularExpression form;
    bool integer;
};

std::optional<int> selectedTag(const QComboBox *box)
{
    const int index = box->currentIndex();
    if (index < 0)
        return std::nullopt;
    bool numeric = false;
    const int tag = box->itemData(index).toInt(&numeric);
    if (!numeric)
        return std::nullopt;
    return tag;
}

// A popup showing a value that none of its items stands for shows nothing rather than a wrong item.
void selectTag(QComboBox *box, int tag)
{
    box->setCurrentIndex(box->findData(tag));
}

QList<int> itemTags(const QComboBox *box)
{
    QList<int> tags;
    for (int i = 0; i < box->count(); ++i)
        tags.append(box->itemData(i).toInt());
    return tags;
}

template <typename Enabled> void enableItems(QComboBox *box, Enabled enabled)
{
    auto *model = qobject_cast<QStandardItemModel *>(box->model());
    if (!model)
        return;
    for (int i = 0; i < model->rowCount(); ++i)
        if (QStandardItem *item = model->item(i))
            item->setEnabled(enabled(box->itemData(i).toInt()));
}

// The text a number field shows for a stored value: a number as its string read, a stored text
// by its leading number, nothing when absent or when the text holds no number.
QString fieldText(const SettingsStore &store, const QString &key, bool integer)
{
    const QVariant object = store.objectForKey(key);
    if (!object.isValid())
        return QString();
    if (object.typeId() == QMetaType::QString && !hasDigit(object.toString()))
        return QString();
    if (integer)
        return QString::number(store.integerForKey(key));
    QString text = SettingsStore::numberToText(QVariant(store.floatForKey(key)));
    // Very large or small reals read with an exponent, which the field would not let the user
    // edit; they are shown in plain decimals instead.
    if (text.contains(u'e')) {
        text = QString::number(double(store.floatForKey(key)), 'f', 6);
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return shownReal(text);
}

// What a control is set to for a stored value of its setting (invalid: the key is absent), as
// setControl takes it.
QVariant controlValue(const Setting &setting, const QVariant &value)
{
    switch (setting.kind) {
    case Kind::Check:
        return value.toBool();
    case Kind::Slider:
        return value.toInt();
    case Kind::Popup:
        // The factory number of files at once depends on the machine.
        return setting.key == PrefKey::EncodersAtOnce ? int(LamePrefs::resolvedEncoders(value.toInt()))
                                                      : value.toInt();
    case Kind::Mapped:
        return setting.values.indexOf(value.isValid() ? value.toString() : QString()) + 1;
    case Kind::Resampling:
        // The tag is the rate's whole kHz: 44.1 is the item 44.
        return value.isValid() ? int(value.toFloat()) : 0;
    case Kind::AverageCombo:
    case Kind::IntegerField:
        return value.isValid() ? QString::number(value.toInt()) : QString();
    case Kind::RealField:
        return value.isValid() ? shownReal(SettingsStore::numberToText(QVariant(value.toFloat())))
                               : QString();
    case Kind::Deemphasis:
        return int(QString::fromLatin1(kDeemphasisLetters).indexOf(value.toString()));
    }
    return {};
}

const QList<int> kAverageBitRates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256};
} // namespace

PreferencesWindow::PreferencesWindow(LamePrefs *owner) : QObject(owner), owner(owner)
{
    if (!findOutlets())
        return;
    saveWarning = new QLabel(prefsWindow);
    saveWarning->setObjectName(QStringLiteral("saveWarning"));
    saveWarning->setWordWrap(true);
    saveWarning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    saveWarning->hide();
    if (QLayout *layout = prefsWindow->layout())
        layout->addWidget(saveWarning);
    connectControls();
    awakeFromNib();
    AudioCDSettings::bind(prefsWindow, owner->settings());
}

PreferencesWindow::~PreferencesWindow()
{
    if (!prefsWindow)
        return;
    commitEditing();
    delete prefsWindow;
}

bool PreferencesWindow::findOutlets()
{
    prefsWindow = WindowDescription::load(QStringLiteral("Preferences"));
    if (!prefsWindow)
        return false;
    bool complete = true;
    windowTabs = WindowDescription::outlet<QTabWidget>(prefsWindow, "windowTabs");
    quality = WindowDescription::outlet<QComboBox>(prefsWindow, "quality");
    namePattern = WindowDescription::outlet<QLineEdit>(prefsWindow, "namePattern");
    complete = complete && windowTabs && quality && namePattern;
    // One item for every core this machine has.
    if (auto *box = WindowDescription::outlet<QComboBox>(prefsWindow, "encodersAtOnce")) {
        box->clear();
        for (int count = 1; count <= std::max(1, QThread::idealThreadCount()); ++count)
            box->addItem(QString::number(count), count);
    }
    for (const Group &group : groups()) {
        QList<QWidget *> found;
        for (qsizetype i = 0; i < group.settings.size(); ++i) {
            const Setting &setting = group.settings.at(i);
            QWidget *control = nullptr;
            switch (setting.kind) {
            case Kind::Check:
                control = WindowDescription::outlet<QCheckBox>(prefsWindow, setting.outlet);
                break;
            case Kind::Slider:
                control = WindowDescription::outlet<QSlider>(prefsWindow, setting.outlet);
                break;
            case Kind::Popup:
            case Kind::Mapped:
            case Kind::Resampling:
            case Kind::AverageCombo:
                if (auto *box = WindowDescription::outlet<QComboBox>(prefsWindow, setting.outlet))
                    if (box->isEditable() == (setting.kind == Kind::AverageCombo))
                        control = box;
                break;
            case Kind::RealField:
            case Kind::IntegerField:
                control = WindowDescription::outlet<QLineEdit>(prefsWindow, setting.outlet);
                break;
            case Kind::Deemphasis:
                control = WindowDescription::outlet<QWidget>(prefsWindow, setting.outlet);
                break;
            }
            // A control whose tag is not its place in the group would make its group's action write
            // another control's setting.
            if (!control || WindowDescription::tag(control) != i + 1)
                complete = false;
            found.append(control);
        }
        controls.append(found);
        if (group.restoreTag) {
            auto *button = WindowDescription::outlet<QPushButton>(prefsWindow, group.restoreButton);
            complete = complete && button && WindowDescription::tag(button) == group.restoreTag;
        }
    }
    if (QWidget *cells = controls.at(Stream).at(0)) {
        deemphasisCells = new QButtonGroup(this);
        for (QRadioButton *cell : cells->findChildren<QRadioButton *>()) {
            bool numeric = false;
            const int column = cell->property("column").toInt(&numeric);
            if (numeric && column >= 0 && column < 3 && !deemphasisCells->button(column))
                deemphasisCells->addButton(cell, column);
        }
        complete = complete && deemphasisCells->buttons().size() == 3;
    }
    if (!complete) {
        logCorruptNib();
        delete prefsWindow;
        prefsWindow = nullptr;
        windowTabs = nullptr;
        controls.clear();
        return false;
    }
    return true;
}

void PreferencesWindow::connectControls()
{
    for (int g = 0; g < controls.size(); ++g) {
        const Group &group = groups().at(g);
        for (qsizetype i = 0; i < group.settings.size(); ++i) {
            QWidget *control = controls.at(g).at(i);
            const auto act = [this, g, control] { change(g, control); };
            // Typing writes when the editing ends, and only when something was typed: a field
            // that merely loses the focus leaves a registered value registered.
            const auto actIfEdited = [this, g, control] {
                if (edited.contains(control))
                    change(g, control);
            };
            const auto markEdited = [this, control] { edited.insert(control); };
            switch (group.settings.at(i).kind) {
            case Kind::Check:
                connect(static_cast<QCheckBox *>(control), &QCheckBox::clicked, this, act);
                break;
            case Kind::Slider: {
                auto *slider = static_cast<QSlider *>(control);
                connect(slider, &QSlider::valueChanged, this, [this, act] {
                    if (!quiet)
                        act();
                });
                const QString valueName = QLatin1String(group.settings.at(i).outlet) + QLatin1String("Value");
                if (auto *value = prefsWindow->findChild<QLabel *>(valueName))
                    connect(slider, &QSlider::valueChanged, value, qOverload<int>(&QLabel::setNum));
                break;
            }
            case Kind::Popup:
            case Kind::Mapped:
            case Kind::Resampling:
                connect(static_cast<QComboBox *>(control), &QComboBox::activated, this, act);
                break;
            case Kind::AverageCombo: {
                auto *box = static_cast<QComboBox *>(control);
                // Inline completion would turn a typed 12 into 128 behind the user's back.
                box->setCompleter(nullptr);
                box->setInsertPolicy(QComboBox::NoInsert);
                box->setValidator(new NumberValidator(true, false, box));
                box->lineEdit()->setMaxLength(9);
                connect(box, &QComboBox::activated, this, act);
                connect(box->lineEdit(), &QLineEdit::textEdited, this, markEdited);
                connect(box->lineEdit(), &QLineEdit::editingFinished, this, actIfEdited);
                break;
            }
            case Kind::RealField:
            case Kind::IntegerField: {
                auto *field = static_cast<QLineEdit *>(control);
                const bool integer = group.settings.at(i).kind == Kind::IntegerField;
                field->setValidator(new NumberValidator(integer, integer, field));
                field->setMaxLength(integer ? 10 : 12);
                connect(field, &QLineEdit::textEdited, this, markEdited);
                connect(field, &QLineEdit::editingFinished, this, actIfEdited);
                break;
            }
            case Kind::Deemphasis:
                connect(deemphasisCells, &QButtonGroup::idClicked, this, act);
                break;
            }
        }
        if (group.restoreTag) {
            auto *button = prefsWindow->findChild<QPushButton *>(QLatin1String(group.restoreButton));
            connect(button, &QPushButton::clicked, this, [this, button] { restoreDefaults(button); });
        }
    }
    // A click on the tab bar arrives before the switch, so a taller tab finds the window grown.
    connect(windowTabs->tabBar(), &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0 || index == windowTabs->currentIndex() || !windowTabs->isTabEnabled(index))
            return;
        tabViewWillSelect(index);
        announcedTab = index;
    });
    connect(windowTabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (quiet || index < 0)
            return;
        if (index != announcedTab)
            tabViewWillSelect(index);
        announcedTab = -1;
        tabViewDidSelect(index);
    });
    connect(quality, &QComboBox::activated, this, &PreferencesWindow::chooseQuality);
    connect(namePattern, &QLineEdit::textEdited, this, [this] { edited.insert(namePattern); });
    connect(namePattern, &QLineEdit::editingFinished, this, [this] {
        if (edited.contains(namePattern))
            writeNamePattern();
    });
    prefsWindow->installEventFilter(this);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(key, prefsWindow), &QShortcut::activated, prefsWindow, &QWidget::close);
}

void PreferencesWindow::awakeFromNib()
{
    showAllSettings();
    showQuality();
    namePattern->setText(owner->settings().stringForKey(PrefKey::NamePattern));

    int tab = owner->settings().integerForKey(PrefKey::SelectedTab);
    // A description with fewer tabs than the one that stored the index shows its first tab.
    if (tab < 0 || tab >= windowTabs->count())
        tab = 0;
    tabViewWillSelect(tab);
    quiet = true;
    windowTabs->setCurrentIndex(tab);
    quiet = false;
    tabViewDidSelect(tab);
    showSaveState();
}

void PreferencesWindow::showSaveState()
{
    const SettingsStore &store = owner->settings();
    if (store.canSave() || !saveWarning->isHidden())
        return;
    const QString folder = QDir::toNativeSeparators(QFileInfo(store.fileName()).absolutePath());
    saveWarning->setText(localizedFormat(
        localizedString(
            "SettingsNotSaved",
            "Your settings cannot be saved: %@ cannot be written. Changes last until Orvik quits.", "Global"),
        {folder}));
    saveWarning->show();
    const int height = contentHeight(windowTabs->currentIndex());
    if (height > 0)
        resizeContent(height);
}

void PreferencesWindow::showAllSettings()
{
    for (int g = 0; g < controls.size(); ++g)
        for (int i = 0; i < controls.at(g).size(); ++i)
            showSetting(g, i);
}

void PreferencesWindow::showQuality()
{
    // "Custom" describes the settings; it is shown, never chosen.
    enableItems(quality, [](int tag) { return tag != 0; });
    selectTag(quality, QualityPresets::matching(owner->settings()));
}

void PreferencesWindow::chooseQuality()
{
    // What is being typed is written first, or showing the store again would drop it.
    commitEditing();
    const auto tag = selectedTag(quality);
    if (tag && QualityPresets::apply(owner->settings(), *tag)) {
        // The entry wrote settings of several groups: every control shows the store again.
        showAllSettings();
    }
    showQuality();
    showSaveState();
}

void PreferencesWindow::writeNamePattern()
{
    // An emptied field stands for the factory pattern, which names files as they always were.
    const QString pattern = namePattern->text().trimmed();
    if (pattern.isEmpty())
        owner->settings().removeObjectForKey(PrefKey::NamePattern);
    else
        owner->settings().setObject(pattern, PrefKey::NamePattern);
    edited.remove(namePattern);
    showSaveState();
}

void PreferencesWindow::showBitRateMode()
{
    auto *box = static_cast<QComboBox *>(controls.at(Format).at(3));
    const int mode = selectedTag(box).value_or(1);
    // Only the group of the chosen mode reaches the encoder; the others wait, greyed, for the
    // mode that uses them.
    const std::pair<const char *, bool> used[] = {
        {"constantGroup", mode == 1}, {"averageGroup", mode == 2}, {"variableGroup", mode == 3 || mode == 4}};
    for (const auto &[name, inUse] : used)
        if (auto *group = prefsWindow->findChild<QGroupBox *>(QLatin1String(name)))
            group->setEnabled(inUse);
    if (auto *note = prefsWindow->findChild<QLabel *>(QStringLiteral("bitRateModeNote")))
        note->setText(localizedFormat(
            localizedString(
                "BitRateModeInUse",
                "Bit rate mode: %@. Only its group below is used; choose the mode on the Format tab.",
                "Global"),
            {box->currentText()}));
}

int PreferencesWindow::warningHeight() const
{
    if (!saveWarning || saveWarning->isHidden())
        return 0;
    const QLayout *layout = prefsWindow->layout();
    const int spacing = layout ? qMax(0, layout->spacing()) : 0;
    return saveWarning->heightForWidth(windowTabs->width()) + spacing;
}

void PreferencesWindow::showSetting(int group, int index)
{
    const Setting &setting = groups().at(group).settings.at(index);
    QWidget *control = controls.at(group).at(index);
    const SettingsStore &store = owner->settings();
    switch (setting.kind) {
    case Kind::Check:
        static_cast<QCheckBox *>(control)->setChecked(store.boolForKey(setting.key));
        break;
    case Kind::Slider:
        setControl(group, index, store.integerForKey(setting.key));
        break;
    case Kind::Popup: {
        auto *box = static_cast<QComboBox *>(control);
        if (setting.key == PrefKey::BitRateMode) {
            selectTag(box, owner->checkedBitRateMode(itemTags(box)));
            showBitRateMode();
        } else if (setting.key == PrefKey::EncodersAtOnce) {
            selectTag(box, int(owner->encodersAtOnce()));
        } else {
            selectTag(box, store.integerForKey(setting.key));
        }
        if (setting.partner)
            applyCoupling(group, index, store.integerForKey(setting.key));
        break;
    }
    case Kind::Mapped: {
        std::optional<QString> value;
        if (setting.key == PrefKey::ChannelMode)
            value = owner->checkedChannelMode();
        else if (setting.key == PrefKey::Masking)
            value = owner->checkedMasking();
        else
            value = owner->checkedShortBlocks();
        selectTag(static_cast<QComboBox *>(control), value ? setting.values.indexOf(*value) + 1 : 1);
        break;
    }
    case Kind::Resampling:
        selectTag(static_cast<QComboBox *>(control), store.integerForKey(setting.key));
        break;
    case Kind::AverageCombo: {
        auto *box = static_cast<QComboBox *>(control);
        box->clear();
        for (int rate : kAverageBitRates)
            box->addItem(QString::number(rate), rate);
        box->setEditText(QString::number(store.integerForKey(setting.key)));
        break;
    }
    case Kind::RealField:
    case Kind::IntegerField:
        static_cast<QLineEdit *>(control)->setText(
            fieldText(store, setting.key, setting.kind == Kind::IntegerField));
        break;
    case Kind::Deemphasis: {
        const QString letter = owner->checkedDeemphasis();
        setControl(group, index, int(QString::fromLatin1(kDeemphasisLetters).indexOf(letter)));
        break;
    }
    }
}

void PreferencesWindow::setControl(int group, int index, const QVariant &value)
{
    QWidget *control = controls.at(group).at(index);
    switch (groups().at(group).settings.at(index).kind) {
    case Kind::Check:
        static_cast<QCheckBox *>(control)->setChecked(value.toBool());
        break;
    case Kind::Slider: {
        auto *slider = static_cast<QSlider *>(control);
        quiet = true;
        slider->setValue(value.toInt());
        quiet = false;
        break;
    }
    case Kind::Popup:
    case Kind::Mapped:
    case Kind::Resampling:
        selectTag(static_cast<QComboBox *>(control), value.toInt());
        break;
    case Kind::AverageCombo:
        static_cast<QComboBox *>(control)->setEditText(value.toString());
        break;
    case Kind::RealField:
    case Kind::IntegerField:
        static_cast<QLineEdit *>(control)->setText(value.toString());
        break;
    case Kind::Deemphasis:
        if (QAbstractButton *cell = deemphasisCells->button(value.toInt()))
            cell->setChecked(true);
        break;
    }
}

void PreferencesWindow::change(int group, QObject *sender)
{
    const Group &table = groups().at(group);
    const int senderTag = WindowDescription::tag(sender);
    if (senderTag < 1 || senderTag > table.settings.size()) {
        logCorruptNib();
        return;
    }
    const Setting &setting = table.settings.at(senderTag - 1);
    QWidget *control = controls.at(group).at(senderTag - 1);
    SettingsStore &store = owner->settings();
    switch (setting.kind) {
    case Kind::Check:
        // A mixed state counts as off.
        store.setBool(static_cast<QCheckBox *>(control)->checkState() == Qt::Checked, setting.key);
        break;
    case Kind::Slider:
        store.setInteger(static_cast<QSlider *>(control)->value(), setting.key);
        break;
    case Kind::Popup: {
        const auto item = selectedTag(static_cast<QComboBox *>(control));
        if (!item) {
            logCorruptNib();
            return;
        }
        store.setInteger(*item, setting.key);
        if (setting.partner)
            applyCoupling(group, senderTag - 1, *item);
        if (setting.key == PrefKey::BitRateMode)
            showBitRateMode();
        break;
    }
    case Kind::Mapped: {
        const auto item = selectedTag(static_cast<QComboBox *>(control));
        if (!item || *item < 1 || *item > setting.values.size()) {
            logCorruptNib();
            return;
        }
        const QString value = setting.values.at(*item - 1);
        if (value.isEmpty())
            store.removeObjectForKey(setting.key);
        else
            store.setObject(value, setting.key);
        break;
    }
    case Kind::Resampling: {
        const auto item = selectedTag(static_cast<QComboBox *>(control));
        if (item == 0)
            store.removeObjectForKey(setting.key);
        else if (item == 32)
            store.setFloat(32.0f, setting.key);
        else if (item == 44)
            store.setFloat(44.1f, setting.key);
        else if (item == 48)
            store.setFloat(48.0f, setting.key);
        else
            logCorruptNib();
        break;
    }
    case Kind::AverageCombo: {
        auto *box = static_cast<QComboBox *>(control);
        // An emptied box has no bit rate to aim at; it shows the stored one again rather than
        // asking the encoder for 0 kbit/s.
        if (hasDigit(box->currentText()))
            store.setInteger(SettingsStore::textToInteger(box->currentText()), setting.key);
        else
            box->setEditText(QString::number(store.integerForKey(setting.key)));
        break;
    }
    case Kind::RealField:
    case Kind::IntegerField: {
        auto *field = static_cast<QLineEdit *>(control);
        const QString text = field->text();
        if (!hasDigit(text))
            store.removeObjectForKey(setting.key);
        else if (setting.kind == Kind::IntegerField)
            store.setInteger(SettingsStore::textToInteger(text), setting.key);
        else
            store.setFloat(SettingsStore::textToFloat(storedReal(text)), setting.key);
        edited.remove(control);
        break;
    }
    case Kind::Deemphasis: {
        const int column = deemphasisCells->checkedId();
        if (column < 0 || column > 2) {
            logCorruptNib();
            return;
        }
        store.setObject(QString(QLatin1Char(kDeemphasisLetters[column])), setting.key);
        break;
    }
    }
    showQuality();
    showSaveState();
}

void PreferencesWindow::applyCoupling(int group, int index, int value)
{
    const int partner = groups().at(group).settings.at(index).partner;
    if (partner > 0)
        enableItems(static_cast<QComboBox *>(controls.at(group).at(index + 1)),
                    [value](int rate) { return rate > value; });
    else if (partner < 0)
        enableItems(static_cast<QComboBox *>(controls.at(group).at(index - 1)),
                    [value](int rate) { return rate < value; });
}

void PreferencesWindow::restoreDefaults(QObject *sender)
{
    if (AudioCDSettings::restore(sender, prefsWindow, owner->settings()))
        return;
    const int tag = WindowDescription::tag(sender);
    for (int g = 0; g < controls.size(); ++g) {
        const Group &group = groups().at(g);
        if (tag == 0 || group.restoreTag != tag)
            continue;
        // Each control is set and then written by the group's own action, exactly as if the user
        // had set it.
        const QVariantMap factory = LamePrefs::factoryValues();
        for (int i = 0; i < group.settings.size(); ++i) {
            const Setting &setting = group.settings.at(i);
            setControl(g, i, controlValue(setting, factory.value(setting.key)));
            change(g, controls.at(g).at(i));
        }
        return;
    }
    logCorruptNib();
}

int PreferencesWindow::contentHeight(int index) const
{
    const QWidget *page = windowTabs->widget(index);
    const int height = page ? page->property("identifier").toString().toInt() : 0;
    // The warning below the tabs, when it shows, needs room of its own, as do the choices above them.
    const QLayout *top = prefsWindow->findChild<QLayout *>(QStringLiteral("windowTop"));
    const int above = top ? top->sizeHint().height() + qMax(0, prefsWindow->layout()->spacing()) : 0;
    return height > 0 ? height + warningHeight() + above : 0;
}

void PreferencesWindow::tabViewWillSelect(int index)
{
    if (!prefsWindow)
        return;
    if (contentHeight(index) > prefsWindow->height())
        resizeContent(contentHeight(index));
    owner->settings().setInteger(index, PrefKey::SelectedTab);
    showSaveState();
}

void PreferencesWindow::tabViewDidSelect(int index)
{
    if (!prefsWindow)
        return;
    fitPagesTo(index);
    // A tab without a height keeps the window as it is rather than collapsing it.
    const int height = contentHeight(index);
    if (height > 0 && height < prefsWindow->height())
        resizeContent(height);
}

void PreferencesWindow::fitPagesTo(int index)
{
    // The tab view asks for room for its tallest page; only the page on show may claim height, or
    // the window could never shrink for a shorter tab.
    for (int i = 0; i < windowTabs->count(); ++i) {
        QWidget *page = windowTabs->widget(i);
        QSizePolicy policy = page->sizePolicy();
        policy.setVerticalPolicy(i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
        page->setSizePolicy(policy);
    }
    windowTabs->updateGeometry();
    if (QLayout *layout = prefsWindow->layout()) {
        layout->invalidate();
        layout->activate();
    }
}

void PreferencesWindow::resizeContent(int height)
{
    // Resizing the client area keeps its top left corner where it is.
    prefsWindow->resize(prefsWindow->width(), height);
}

void PreferencesWindow::commitEditing()
{
    for (int g = 0; g < controls.size(); ++g)
        for (QWidget *control : controls.at(g))
            if (edited.contains(control))
                change(g, control);
    if (edited.contains(namePattern))
        writeNamePattern();
}

bool PreferencesWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Closing only hides the window; what is typed but not yet ended is written first.
    if (watched == prefsWindow && event->type() == QEvent::Close)
        commitEditing();
    return QObject::eventFilter(watched, event);
}

PreferencesWindow *PreferencesWindow::showWindow(LamePrefs *owner)
{
    auto *shown = owner->findChild<PreferencesWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!shown) {
        shown = new PreferencesWindow(owner);
        if (!shown->window()) {
            // Nothing to show; the next call tries again.
            delete shown;
            return nullptr;
        }
    }
    shown->window()->show();
    shown->window()->raise();
    shown->window()->activateWindow();
    return shown;
}
