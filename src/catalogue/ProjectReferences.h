#pragma once

#include <QByteArrayView>
#include <QHashFunctions>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

// The type libraries, controls and group projects a .vbp refers to (its Reference= and Object= lines).
namespace catalogue {

struct ProjectReference {
    enum class Kind : quint8 {
        TypeLib, // Reference=*\G{GUID}#major.minor#lcid#path#description
        Control, // Object={GUID}#major.minor#lcid; FILE
        Project, // Reference=*\A..\Lib\Lib.vbp or Object=*\A...: a project of the same group
    };
    Kind kind = Kind::TypeLib;
    // The line's fields could not be read (no GUID, no version ...): only text says what it was.
    bool malformed = false;
    QString guid;      // upper case, without braces
    quint16 major = 0; // written in hex, as the registry names versions
    quint16 minor = 0;
    quint32 lcid = 0;
    QString file;        // as written: a type library's path, a control's file, a group project's .vbp
    QString description; // a type library's, as the IDE wrote it
    QString text;        // the value as written, kept for a malformed line only

    // What a user recognises it by: the file's name without its folder (MSCOMCTL.OCX, msado28.tlb),
    // else the description, else the GUID in braces, else the text.
    QString Label() const;
    friend bool operator==(const ProjectReference &, const ProjectReference &) = default;
};

// The library and version a reference asks the registry for.
struct ReferenceKey {
    std::array<char, 36> guid{}; // upper case, without braces
    quint16 major = 0;
    quint16 minor = 0;
    friend bool operator==(const ReferenceKey &, const ReferenceKey &) = default;
};
inline size_t qHash(const ReferenceKey &key, size_t seed = 0) { return qHashBits(&key, sizeof key, seed); }

// The reference a line of a .vbp holds; none for other lines. A Reference= or Object= line whose
// value cannot be read comes back malformed.
std::optional<ProjectReference> ReferenceOfLine(QByteArrayView line);

// The same, only the library and version, read without decoding the line: none for other lines,
// group projects and lines whose fields cannot be read.
std::optional<ReferenceKey> ReferenceKeyOfLine(QByteArrayView line);

// Each Reference= and Object= line of a .vbp read whole (lines end at CR LF, CR or LF), in file order.
void ForEachReferenceLine(QByteArrayView vbp, const std::function<void(QByteArrayView line)> &take);

// Every reference of a .vbp read whole (code page 932; lines end at CR LF, CR or LF), in file order.
QList<ProjectReference> ReferencesIn(QByteArrayView vbp);

} // namespace catalogue
