// Install and update runs through the real chain with the Corvane stand-in as npx: the answers
// file's life, the command lines, and what quitting mid-run or being killed leaves behind.
#include "runner/AnswersFile.h"
#include "runner/Setup.h"
#include "support/TestHome.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void answersFileLivesOnlyWhileTheInstallerRuns_data();
    void answersFileLivesOnlyWhileTheInstallerRuns();
    void unwritableFolderAndStaleFiles();
    void quittingMidRunLeavesNothing_data();
    void quittingMidRunLeavesNothing();

private:
    QStringList answersFiles() const { return QDir(m_folder).entryList({u"corv_install_*"_s}); }
    QString recorded(const QString& name) const;
    RunnerConfig config() const { return {RunnerConfig::system().wrapperPath, m_folder}; }
    QProcess* startHangingRun(qint64* pid, qint64* childPid);

    std::unique_ptr<test::TestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_folder;
    InstallAnswers m_answers{
        {u"claude-code"_s, u"codex"_s}, {u"anthropic-api"_s}, {u"openrouter"_s},
        u" sk-ant \"q\" \\ ключ "_s,    std::nullopt,         u"sk-or-1"_s};
};

void TestInstall::initTestCase()
{
    m_home = std::make_unique<test::TestHome>();
    m_home->installStandIn();
    qputenv("SHELL", QFile::encodeName(QStandardPaths::findExecutable(u"bash"_s)));
    qputenv("STANDIN_QUIET", "1");
}

void TestInstall::init()
{
    m_home->remove(u"standin-record"_s);
    m_temp = std::make_unique<QTemporaryDir>();
    // A quote and a space in the temporary folder reach the installer through the quoting.
    m_folder = m_temp->filePath(u"it's tmp"_s);
    QDir().mkpath(m_folder);
    qunsetenv("STANDIN_EXIT");
    qunsetenv("STANDIN_HANG");
}

QString TestInstall::recorded(const QString& name) const
{
    return QString::fromUtf8(m_home->read(u"standin-record/"_s + name));
}

void TestInstall::answersFileLivesOnlyWhileTheInstallerRuns_data()
{
    QTest::addColumn<QByteArray>("exitStatus");
    QTest::addColumn<bool>("wrapperMissing");
    QTest::newRow("success") << "0"_ba << false;
    QTest::newRow("installer fails") << "1"_ba << false;
    QTest::newRow("wrapper missing") << "0"_ba << true;
}

void TestInstall::answersFileLivesOnlyWhileTheInstallerRuns()
{
    QFETCH(QByteArray, exitStatus);
    QFETCH(bool, wrapperMissing);
    qputenv("STANDIN_EXIT", exitStatus);
    RunnerConfig runner = config();
    if (wrapperMissing)
        runner.wrapperPath = m_temp->filePath(u"missing"_s);
    Setup setup(runner);
    const QFuture<RunResult> future = setup.runInstall(m_answers);
    QCOMPARE(answersFiles().size(), wrapperMissing ? 0 : 1);
    const std::optional<RunResult> result = test::waitForResult(future);
    QVERIFY(result);
    QCOMPARE(!*result, exitStatus == "0" && !wrapperMissing);
    QVERIFY(answersFiles().isEmpty()); // gone before the result arrived
    if (wrapperMissing)
        return;

    // What the installer found: a private file of its own name, holding the answers.
    const QString path = recorded(u"config-path"_s);
    QCOMPARE(QFileInfo(path).path(), m_folder);
    QVERIFY(QRegularExpression(u"^corv_install_[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.json$"_s)
                .match(QFileInfo(path).fileName())
                .hasMatch());
    QCOMPARE(recorded(u"config-mode"_s).trimmed(), u"600"_s);
    QCOMPARE(m_home->read(u"standin-record/config-content"_s), m_answers.toJson());
    QCOMPARE(
        recorded(u"args"_s).split(QChar(0)),
        (QStringList{
            u"--yes"_s, u"corvane@latest"_s, u"install"_s, u"--config"_s, path, u"--yes"_s, {}}));

    // The next run uses a name of its own; an update uses no file at all.
    QVERIFY(test::waitForResult(setup.runInstall(m_answers)));
    QVERIFY(recorded(u"config-path"_s) != path);
    QVERIFY(test::waitForResult(setup.runUpdate()));
    QCOMPARE(recorded(u"args"_s).split(QChar(0)),
             (QStringList{u"--yes"_s, u"corvane@latest"_s, u"update"_s, u"--all"_s, {}}));
}

void TestInstall::unwritableFolderAndStaleFiles()
{
    // A file that cannot be created is a system error; nothing starts.
    Setup nowhere({RunnerConfig::system().wrapperPath, m_temp->filePath(u"missing"_s)});
    const std::optional<RunResult> result = test::waitForResult(nowhere.runInstall(m_answers));
    QVERIFY(result && *result && std::holds_alternative<SystemError>(**result));
    QVERIFY(m_home->read(u"standin-record/args"_s).isEmpty());

    const QDir dir(m_folder);
    for (const QString& name :
         {u"corv_install_A.json"_s, u"corv_install_LOCKED.json"_s, u"x.json"_s}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(dir.filePath(u"x.json"_s), dir.filePath(u"corv_install_LINK.json"_s)));
    QVERIFY(dir.mkdir(u"corv_install_DIR.json"_s));
    // A live run of another copy holds its file locked.
    const int held =
        ::open(QFile::encodeName(dir.filePath(u"corv_install_LOCKED.json"_s)), O_RDONLY);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);

    QCOMPARE(AnswersFile::removeStale(m_folder), 1);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{u"corv_install_DIR.json"_s, u"corv_install_LINK.json"_s,
                          u"corv_install_LOCKED.json"_s, u"x.json"_s}));
    ::close(held);
    Setup next(config());
    QVERIFY(!dir.exists(u"corv_install_LOCKED.json"_s));
}

QProcess* TestInstall::startHangingRun(qint64* pid, qint64* childPid)
{
    qputenv("STANDIN_HANG", "1");
    auto* holder = new QProcess(this);
    holder->start(QCoreApplication::applicationDirPath() + u"/runholder"_s, {m_folder});
    if (!QTest::qWaitFor([&] { return !recorded(u"child-pid"_s).isEmpty(); }, 30000))
        qFatal("the stand-in did not start");
    *pid = recorded(u"pid"_s).toLongLong();
    *childPid = recorded(u"child-pid"_s).toLongLong();
    return holder;
}

void TestInstall::quittingMidRunLeavesNothing_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestInstall::quittingMidRunLeavesNothing()
{
    QFETCH(int, signal);
    qint64 pid = 0;
    qint64 childPid = 0;
    QProcess* holder = startHangingRun(&pid, &childPid);
    QVERIFY(!test::processGone(pid));
    QCOMPARE(answersFiles().size(), 1);
    // Another copy starting now must not take the live run's file away.
    {
        Setup other(config());
    }
    QCOMPARE(answersFiles().size(), 1);

    ::kill(static_cast<pid_t>(holder->processId()), signal);
    QVERIFY(holder->waitForFinished(15000));
    if (signal == SIGKILL) {
        // Killed outright, nothing could clean up; the next start does, even while the orphaned
        // installer still runs.
        QCOMPARE(answersFiles().size(), 1);
        {
            Setup next(config());
        }
        QVERIFY(answersFiles().isEmpty());
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        QTRY_VERIFY(test::processGone(pid));
        return;
    }
    QCOMPARE(holder->exitStatus(), QProcess::NormalExit);
    QCOMPARE(holder->exitCode(), 0);
    QVERIFY(answersFiles().isEmpty());
    QTRY_VERIFY(test::processGone(pid));
    QTRY_VERIFY(test::processGone(childPid));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
