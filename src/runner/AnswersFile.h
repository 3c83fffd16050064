#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

namespace corvane {

// The private answers file of one install run: "corv_install_<UUID>.json" in a temporary folder.
//
// It is created exclusively (an existing file or a planted symbolic link makes creation fail)
// with mode 0600 from the first moment, locked with an advisory lock, and written and flushed
// before create() returns. The lock is held while the object lives, which tells removeStale() of
// any other copy of the program that the file is in use. Destroying the object removes the file.
class AnswersFile {
public:
    // The new file holding content, or null with *error set; no file is left behind on failure.
    // A folder that is not absolute is refused.
    static std::unique_ptr<AnswersFile> create(const QString& folder, const QByteArray& content,
                                               QString* error);

    // As create(), at a path of the caller's choosing: fails, leaving it untouched, when anything
    // (a file, a directory, a symbolic link, even a dangling one) is already there.
    static std::unique_ptr<AnswersFile> createAt(const QString& path, const QByteArray& content,
                                                 QString* error);

    // Removes every "corv_install_*.json" in folder that belongs to this user, is a regular file
    // and is not locked by a live run. Returns how many were removed; none for a folder that is
    // not absolute.
    static int removeStale(const QString& folder);

    ~AnswersFile();
    AnswersFile(const AnswersFile&) = delete;
    AnswersFile& operator=(const AnswersFile&) = delete;

    const QString& path() const { return m_path; }

private:
    explicit AnswersFile(QString path);

    QString m_path;
    QFile m_file;
};

} // namespace corvane
