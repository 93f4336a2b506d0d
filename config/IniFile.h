#pragma once
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// An INI file read and written by its full path, with the semantics of the
// classic Windows profile functions:
//  - section and key names match without regard to case;
//  - integers are decimal, or hexadecimal after "0x", "0X" or "$"; a missing
//    key or a text that is not such a number yields the caller's default;
//  - text values are read up to 2047 characters;
//  - a new key goes to the end of its section, a new section to the end of
//    the file; the file, and its folder, are created by the first write;
//  - lines that are not touched (comments, other sections) are kept as they are;
//  - a UTF-8 byte-order mark at the start is skipped when reading and kept
//    when writing.
//
// Nothing is cached: every call reads the file again. Writes go to a complete
// new file beside the target that then replaces it atomically, so a failed
// write leaves the old file byte for byte as it was and throws
// std::runtime_error("Unable to write to <path>"). A writable file in a folder
// that does not let us create that new file is rewritten in place instead;
// only then can a failure part-way (a full disk) leave it truncated.

// Longest text value a read returns, in characters.
constexpr int IniMaxValueLength = 2047;

int ReadIniInt(const QString &path, const QString &section, const QString &key, int def);
QString ReadIniString(const QString &path, const QString &section, const QString &key, const QString &def);
void WriteIniInt(const QString &path, const QString &section, const QString &key, int value);
void WriteIniString(const QString &path, const QString &section, const QString &key, const QString &value);

// Parses an integer the way ReadIniInt does; false when text is not a number.
// Decimal must fit a signed 32-bit integer; hexadecimal up to eight digits
// gives the 32-bit pattern ($FFFFFFFF is -1).
bool ParseIniInt(const QString &text, int &value);

// One read-modify-write of the file for several keys: the keys are applied in
// order, exactly as that many single writes would, and the file is replaced once.
// Nothing is written when the file cannot be replaced.
class IniBatchWriter {
public:
    explicit IniBatchWriter(QString path);
    void Set(const QString &section, const QString &key, const QString &value);
    void Set(const QString &section, const QString &key, int value);
    // Writes all keys set so far; throws std::runtime_error on failure.
    void Commit();

private:
    struct Entry {
        QString section, key, value;
    };
    QString path_;
    std::vector<Entry> entries_;
};
