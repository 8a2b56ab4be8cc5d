#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

// The per-user settings store: a registration layer (the factory values, never written) under a
// user layer (every value the program writes, kept in an INI file in the user's config folder).
// A read answers the user's value, else the registered one, else nothing. Values are written in
// four forms (boolean, 32-bit integer, single-precision real, string) and read in five, with
// the conversions the callers rely on: the string read of a real gives at most 7 significant
// digits (44.1 reads as "44.1"), the integer read of a real truncates towards zero.
//
// The file keeps each value with its form ("i:128", "f:44.1", "b:true", "s:text"), so every read
// answers the same after a restart as before it.
class SettingsStore
{
  public:
    // The process-wide store, its user layer in the user's config folder.
    static SettingsStore &standard();
    // The file of the process-wide store.
    static QString standardFilePath();

    // A store whose user layer lives in `userFile`. A file that cannot be read or decoded is kept
    // beside the new one under a ".corrupt" name and the store starts empty; the line
    // "Error: corrupt preferences" says so.
    explicit SettingsStore(const QString &userFile);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    void registerDefaults(const QVariantMap &defaults);

    bool boolForKey(const QString &key) const;
    qint32 integerForKey(const QString &key) const;
    float floatForKey(const QString &key) const;
    // A null QString when the key is absent from both layers.
    QString stringForKey(const QString &key) const;
    // bool, qint32, float or QString; invalid when absent.
    QVariant objectForKey(const QString &key) const;

    void setBool(bool value, const QString &key);
    void setInteger(qint32 value, const QString &key);
    void setFloat(float value, const QString &key);
    void setObject(const QString &value, const QString &key);
    void removeObjectForKey(const QString &key);

    // False once the user layer's file could not be written (a read-only or missing config
    // folder): values written since then serve this session only. The first failure is logged.
    bool canSave() const { return saving; }
    QString fileName() const;

    // The conversions of the reads, for values that come from elsewhere (a number typed into a
    // field, a tag text). They follow the platform's text rules: leading white space is skipped
    // and the leading number of the text is taken.
    static bool textToBool(const QString &text);
    static qint32 textToInteger(const QString &text);
    static float textToFloat(const QString &text);
    static QString numberToText(const QVariant &number);

  private:
    QVariant lookup(const QString &key) const;
    void write(const QString &key, const QVariant &value);
    void load();
    void save();

    std::unique_ptr<QSettings> file;
    QVariantMap registered;
    QVariantMap user;
    bool saving = true;
};
