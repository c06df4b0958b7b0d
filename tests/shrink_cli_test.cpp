// bildoro-batch --shrink: per-file reports, exit status and width checking, run as the real program.
#include "jpeg_image.h"
#include "picture_samples.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct BatchRun {
    int exitCode = -1;
    QString out, err;
};

BatchRun Batch(const QStringList& args, const QString& workingDir = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));  // English messages
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(BILDORO_BINARY_DIR "/cli/bildoro-batch"), args);
    BatchRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

class ShrinkCli : public ::testing::Test {
  protected:
    QString Capture(const QString& name, int w, int h) {
        const QString path = m_dir.filePath(name);
        TJpegImage jpeg;
        jpeg.Assign(NoiseBitmap(w, h));
        jpeg.SaveToFile(path);
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(ShrinkCli, ReportsEachFileAndFailsWhenOneFailed) {
    const QString big = Capture(QStringLiteral("gross.jpg"), 1280, 990);
    const QString small = Capture(QStringLiteral("klein.jpg"), 200, 150);
    const QString broken = m_dir.filePath(QStringLiteral("kaputt.jpg"));
    WriteBytes(broken, QByteArray("kein JPEG"));
    const BatchRun run = Batch({QStringLiteral("--shrink"), QStringLiteral("320"), big, small, broken});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(big + QStringLiteral(": reduced to 320 x 248\n"))) << run.out.toStdString();
    EXPECT_TRUE(
        run.out.contains(small + QStringLiteral(": left unchanged (200 x 150 is not wider than 320)\n")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(broken + QStringLiteral(": failed: "))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Not a JPEG file"))) << run.out.toStdString();
    TJpegImage jpeg;
    jpeg.LoadFromFile(big);
    EXPECT_EQ(jpeg.Width(), 320);
}

TEST_F(ShrinkCli, AllGoodIsExitZeroAndBareNamesWork) {
    Capture(QStringLiteral("a.b.jpg"), 800, 600);
    const BatchRun run =
        Batch({QStringLiteral("--shrink"), QStringLiteral("10"), QStringLiteral("a.b.jpg")}, m_dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("a.b.jpg: reduced to 10 x 8\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.b.jpg")});
}

TEST_F(ShrinkCli, MissingAndEmptyFilesFail) {
    const QString empty = m_dir.filePath(QStringLiteral("leer.jpg"));
    WriteBytes(empty, QByteArray());
    const BatchRun run = Batch({QStringLiteral("--shrink"), QStringLiteral("320"),
                                m_dir.filePath(QStringLiteral("fehlt.jpg")), empty});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains(QStringLiteral("fehlt.jpg: failed: ")) &&
                run.out.contains(QStringLiteral("No such file")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("leer.jpg: failed: the file is empty")))
        << run.out.toStdString();
}

TEST_F(ShrinkCli, BadWidthsAreRefusedBeforeAnyFileIsTouched) {
    const QString path = Capture(QStringLiteral("x.jpg"), 400, 300);
    const QByteArray before = ReadBytes(path);
    struct Case {
        const char* width;
        const char* message;
    };
    for (const Case c : {Case{"abc", "'abc' is not a valid integer"}, Case{"3.5", "not a valid"},
                         Case{"99999999999", "not a valid"}, Case{"0", "at least 1"},
                         Case{"-20", "at least 1"}, Case{"", "not a valid"}}) {
        const BatchRun run = Batch({QStringLiteral("--shrink=") + QString::fromUtf8(c.width), path});
        EXPECT_EQ(run.exitCode, 2) << c.width;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message)))
            << c.width << ": " << run.err.toStdString();
        EXPECT_EQ(ReadBytes(path), before);
    }
    const BatchRun leadingBlanks = Batch({QStringLiteral("--shrink=  200"), path});
    EXPECT_EQ(leadingBlanks.exitCode, 0) << leadingBlanks.out.toStdString();
}

}  // namespace
