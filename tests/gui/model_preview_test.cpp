// The preview pane: pictures drawn off the window's thread, superseded requests, turning by
// dragging, reasons shown in the pane, and PNG files Qt reads.
#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QtMath>

#include "app/gui/model_preview.h"
#include "render/png_codec.h"
#include "tests/gui/gui_test_support.h"
#include "usecases/conversion_run.h"
#include "usecases/model_files.h"

namespace durvane::gui {
namespace {

using testing::SampleBytes;
using testing::WriteFile;

int OpaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) != 0;
  }
  return n;
}

class ModelPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    sample_ = dir_.filePath("sample.opt");
    WriteFile(sample_, SampleBytes());
    broken_ = dir_.filePath("broken.prj");
    WriteFile(broken_, QByteArray("not a PRJ file"));
  }

  void drawsTheFileAndSaysWhyItCannot() {
    struct Case {
      QString file;
      bool picture;
      QString message;  // part of it
    };
    const QList<Case> cases = {
        {sample_, true, {}},
        {broken_, false, "cannot be drawn:\noffset 0x"},
        {dir_.filePath("missing.opt"), false, "cannot be drawn:\ncannot open"},
        {dir_.filePath("notes.txt"), false, "name it .opt or .prj"},
    };
    for (const Case& c : cases) {
      ModelPreview preview;
      preview.resize(120, 90);
      QSignalSpy shown(&preview, &ModelPreview::Shown);
      preview.ShowFile(c.file);
      QVERIFY(preview.Busy());
      QVERIFY(shown.wait(10000));
      QVERIFY(!preview.Busy());
      QCOMPARE(!preview.Picture().isNull(), c.picture);
      QVERIFY2(preview.Message().contains(c.message), qPrintable(preview.Message()));
      if (c.picture) {
        QCOMPARE(preview.Picture().deviceIndependentSize(), QSizeF(120, 90));
        QVERIFY(OpaquePixels(preview.Picture()) > 100);
        QVERIFY(preview.Message().isEmpty());
      }
    }
  }

  void aNewerRequestSupersedesAnOlderOne() {
    ModelPreview preview;
    preview.resize(100, 100);
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    preview.ShowFile(broken_);
    preview.ShowFile(sample_);
    QVERIFY(shown.wait(10000));
    QTest::qWait(200);  // the older one has finished too by now, unseen
    QCOMPARE(shown.count(), 1);
    QCOMPARE(preview.File(), sample_);
    QVERIFY(!preview.Picture().isNull());
    QVERIFY(preview.Message().isEmpty());
  }

  void draggingTurnsTheModel() {
    ModelPreview preview;
    preview.resize(100, 100);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    preview.ShowFile(sample_);
    QVERIFY(shown.wait(10000));
    const QImage before = preview.Picture();
    QTest::mousePress(&preview, Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 40), preview.mapToGlobal(QPointF(90, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&preview, &move);
    QTest::mouseRelease(&preview, Qt::LeftButton, {}, QPoint(90, 40));
    QCOMPARE(preview.Yaw(), -20.0);
    QCOMPARE(preview.Pitch(), -5.0);
    QVERIFY(shown.wait(10000));
    QVERIFY(!preview.Picture().isNull());
    QVERIFY(preview.Picture() != before);
  }

  // A PRJ file whose bitmap is not beside it is drawn flat there, and the pane says which
  // bitmap is missing.
  void namesTheMissingBitmaps() {
    const QString qel = dir_.filePath("qel");
    QDir().mkpath(qel);
    RunConversion(qel.toStdString(), dir_.path().toStdString(), "sample.opt");
    const QString prj = qel + "/sample/sample.prj";
    const QStringList bitmaps = QDir(qel + "/sample").entryList({"*.BMP"}, QDir::Files);
    QVERIFY(bitmaps.size() > 1);
    ModelPreview preview;
    preview.resize(400, 300);
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    preview.ShowFile(prj);
    QVERIFY(shown.wait(10000));
    QCOMPARE(preview.Warnings(), QStringList());

    QVERIFY(QFile::remove(qel + "/sample/" + bitmaps[0]));
    preview.Reload();
    QVERIFY(shown.wait(10000));
    QVERIFY(!preview.Picture().isNull());
    QCOMPARE(preview.Warnings().size(), 1);
    QVERIFY2(preview.Warnings()[0].startsWith("bitmap '" + bitmaps[0] + "'"),
             qPrintable(preview.Warnings()[0]));
    // The pane shows more than its background and the picture: the warning's text.
    const QImage painted = preview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage bare(painted.size(), QImage::Format_RGB32);
    bare.setDevicePixelRatio(painted.devicePixelRatio());
    QPainter painter(&bare);
    painter.fillRect(QRectF(QPointF(0, 0), bare.deviceIndependentSize()), preview.palette().base());
    const QSizeF picture = preview.Picture().deviceIndependentSize();
    painter.drawImage(
        QPointF((preview.width() - picture.width()) / 2, (preview.height() - picture.height()) / 2),
        preview.Picture());
    painter.end();
    QVERIFY(painted != bare);
    QCOMPARE(painted.copy(0, 0, painted.width(), painted.height() / 2),
             bare.copy(0, 0, bare.width(), bare.height() / 2));  // the text is at the foot

    preview.ShowFile({});
    QVERIFY(preview.Warnings().isEmpty());
  }

  // Dragging draws reduced pictures that follow the mouse, then the full one on release; the
  // wheel zooms; a double click returns to the first view.
  void dragWheelAndDoubleClick() {
    ModelPreview preview;
    preview.resize(150, 120);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    preview.ShowFile(sample_);
    QVERIFY(shown.wait(10000));
    const QImage first = preview.Picture();
    const QSize full = first.size();

    QTest::mousePress(&preview, Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 60), preview.mapToGlobal(QPointF(80, 60)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&preview, &move);
    QTRY_COMPARE(preview.Picture().size(), full / ModelPreview::kDraftDivisor);
    QCOMPARE(shown.count(), 1);  // a reduced picture is not the end of a request
    QTest::mouseRelease(&preview, Qt::LeftButton, {}, QPoint(80, 60));
    QVERIFY(shown.wait(10000));
    QCOMPARE(preview.Picture().size(), full);
    QVERIFY(preview.Picture() != first);

    QWheelEvent wheel(QPointF(75, 60), preview.mapToGlobal(QPointF(75, 60)), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&preview, &wheel);
    QCOMPARE(preview.Zoom(), 1.25 * 1.25);
    QVERIFY(shown.wait(10000));
    // Zoomed in, the model covers more of the pane.
    QVERIFY(OpaquePixels(preview.Picture()) > OpaquePixels(first));

    QTest::mouseDClick(&preview, Qt::LeftButton, {}, QPoint(75, 60));
    QCOMPARE(preview.Yaw(), 0.0);
    QCOMPARE(preview.Pitch(), 0.0);
    QCOMPARE(preview.Zoom(), 1.0);
    QVERIFY(shown.wait(10000));
    QCOMPARE(preview.Picture(), first);
  }

  // The picture has the screen's pixels, not the pane's logical ones (run once more with
  // QT_SCALE_FACTOR=1.5).
  void drawsAtTheDevicePixelRatio() {
    ModelPreview preview;
    preview.resize(120, 90);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    preview.ShowFile(sample_);
    QVERIFY(shown.wait(10000));
    const double ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    QCOMPARE(preview.devicePixelRatioF(), ratio);
    QCOMPARE(preview.Picture().size(), QSize(qCeil(120 * ratio), qCeil(90 * ratio)));
    QCOMPARE(preview.Picture().devicePixelRatio(), ratio);
  }

  void qtReadsThePngFiles() {
    render::RenderOptions options;
    options.width = 70;
    options.height = 40;
    const auto model = render::LoadModelFile(sample_.toStdString());
    const render::Image image = render::Render(model, options).image;
    const std::vector<std::byte> png = render::EncodePng(image);
    QByteArray bytes(reinterpret_cast<const char*>(png.data()), static_cast<qsizetype>(png.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "png");
    QCOMPARE(reader.size(), QSize(70, 40));
    const QImage read = reader.read().convertToFormat(QImage::Format_RGBA8888);
    QCOMPARE(read.size(), QSize(70, 40));
    for (int y = 0; y < 40; ++y) {
      QVERIFY(std::equal(image.rgba.begin() + y * 70 * 4, image.rgba.begin() + (y + 1) * 70 * 4,
                         reinterpret_cast<const std::uint8_t*>(read.constScanLine(y))));
    }
  }

 private:
  QTemporaryDir dir_;
  QString sample_;
  QString broken_;
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::ModelPreviewTest)
#include "model_preview_test.moc"
