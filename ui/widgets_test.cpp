// Tests of the small controls: ui/strip_chart.cpp, ui/hyperlink_label.cpp,
// ui/hover_button.cpp, ui/glyph_icons.cpp, ui/find_bar.cpp and
// ui/flat_style.cpp.
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStyle>
#include <QtTest>
#include <cmath>

#include "ui/find_bar.h"
#include "ui/flat_style.h"
#include "ui/glyph_icons.h"
#include "ui/hover_button.h"
#include "ui/hyperlink_label.h"
#include "ui/strip_chart.h"

namespace {

// Receives what QDesktopServices would open for the test's URL scheme.
class UrlSink : public QObject {
    Q_OBJECT

  public slots:
    void Open(const QUrl& url) { opened.append(url); }

  public:
    QList<QUrl> opened;
};

// The columns of image that hold a clearly red pixel.
QVector<int> RedColumns(const QImage& image) {
    QVector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 100 && c.blue() < 100) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

  private slots:
    void StripChartSamples() {
        StripChart chart(2, 3);
        QCOMPARE(chart.Maximum(), 1.0);
        chart.AddSamples({5, 1});
        chart.AddSamples({2});        // missing value counts 0
        chart.AddSamples({1, 9, 7});  // extra value ignored
        QCOMPARE(chart.SampleCount(), 3);
        QCOMPARE(chart.Series(0), QVector<double>({5, 2, 1}));
        QCOMPARE(chart.Series(1), QVector<double>({1, 0, 9}));
        QCOMPARE(chart.Maximum(), 9.0);
        chart.AddSamples({NAN, 1});  // full: the oldest drops out
        QCOMPARE(chart.SampleCount(), 3);
        QCOMPARE(chart.Series(0), QVector<double>({2, 1, 0}));
        QCOMPARE(chart.Series(1), QVector<double>({0, 9, 1}));
        QVERIFY(chart.Series(2).isEmpty());
        chart.Clear();
        QCOMPARE(chart.SampleCount(), 0);
        chart.AddSamples({0.25, 0.5});
        QCOMPARE(chart.Maximum(), 1.0);
        QCOMPARE(chart.sizeHint(), QSize(90, 18));
    }

    // A rising pair of samples is drawn at the right edge, nothing at the left.
    void StripChartPaintsNewestAtRight() {
        StripChart chart(1, 10);
        chart.SetSeriesColor(0, Qt::red);
        chart.SetSeriesColor(5, Qt::blue);  // no such series
        chart.resize(chart.sizeHint());
        chart.AddSamples({0});
        chart.AddSamples({3});
        QVector<int> columns = RedColumns(chart.grab().toImage());
        QVERIFY(!columns.isEmpty());
        QVERIFY2(columns.first() > chart.width() * 3 / 4,
                 qPrintable(QString::number(columns.first())));
    }

    void HyperlinkActivation() {
        UrlSink sink;
        QDesktopServices::setUrlHandler("vantor-test", &sink, "Open");
        const QUrl url("vantor-test://home");
        HyperlinkLabel label("Home page", url);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(label.font().underline());
        QSignalSpy activated(&label, &HyperlinkLabel::linkActivated);

        label.resize(label.sizeHint());
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated[0][0].toUrl(), url);
        QCOMPARE(sink.opened, QList<QUrl>({url}));

        // Pressed, then released outside: no click. A right click does nothing.
        label.SetOpensUrl(false);
        QTest::mousePress(&label, Qt::LeftButton);
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(-5, -5));
        QTest::mouseClick(&label, Qt::RightButton);
        QCOMPARE(activated.count(), 1);
        QTest::keyClick(&label, Qt::Key_Return);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(activated.count(), 3);
        QCOMPARE(sink.opened.size(), 1);
        QDesktopServices::unsetUrlHandler("vantor-test");
    }

    // Plain, hovered and checked buttons look different from one another.
    void HoverButtonLooks() {
        HoverButton button(GlyphIcon(Glyph::Save), "Save", true);
        button.resize(24, 24);
        QImage plain = button.grab().toImage();

        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
        QVERIFY(button.IsHovered());
        QImage hovered = button.grab().toImage();
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QVERIFY(!button.IsHovered());

        button.setChecked(true);
        QImage checked = button.grab().toImage();
        QVERIFY(plain != hovered);
        QVERIFY(plain != checked);
        QVERIFY(hovered != checked);
        QCOMPARE(button.grab().toImage(), checked);
    }

    // Every glyph is drawn at both sizes, differently from every other, and
    // made once.
    void GlyphIcons() {
        QSet<QByteArray> seen;
        for (int g = 0; g <= static_cast<int>(Glyph::Idle); ++g) {
            QIcon icon = GlyphIcon(static_cast<Glyph>(g));
            QCOMPARE(icon.cacheKey(), GlyphIcon(static_cast<Glyph>(g)).cacheKey());
            for (int size : {16, 32}) {
                QImage image = icon.pixmap(size, size).toImage();
                QImage blank(image.size(), image.format());
                blank.fill(Qt::transparent);
                QVERIFY2(image != blank, qPrintable(QString("glyph %1 at %2").arg(g).arg(size)));
            }
            QImage small = icon.pixmap(16, 16).toImage();
            QByteArray bits(reinterpret_cast<const char*>(small.constBits()), small.sizeInBytes());
            QVERIFY2(!seen.contains(bits), qPrintable(QString("glyph %1").arg(g)));
            seen.insert(bits);
        }
    }

    // Typing filters, Enter and Shift+Enter step, Escape closes; the count
    // shows only with a text.
    void FindBarKeys() {
        FindBar bar;
        bar.show();
        QSignalSpy filter(&bar, &FindBar::filterChanged);
        QSignalSpy next(&bar, &FindBar::nextRequested);
        QSignalSpy previous(&bar, &FindBar::previousRequested);
        QSignalSpy closed(&bar, &FindBar::closed);
        QLabel* count = bar.findChild<QLabel*>();
        bar.SetMatchCount(4);
        QCOMPARE(count->text(), QString());

        QTest::keyClicks(bar.Edit(), "ab");
        QCOMPARE(filter.count(), 2);
        QCOMPARE(filter.last()[0].toString(), QString("ab"));
        const QVector<QPair<int, QString>> counts = {
            {3, "3 matches"}, {1, "1 match"}, {0, "no match"}, {-1, ""}};
        for (const auto& c : counts) {
            bar.SetMatchCount(c.first);
            QCOMPARE(count->text(), c.second);
        }
        QTest::keyClick(bar.Edit(), Qt::Key_Return);
        QTest::keyClick(bar.Edit(), Qt::Key_Enter);
        QTest::keyClick(bar.Edit(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(next.count(), 2);
        QCOMPARE(previous.count(), 1);
        QTest::keyClick(bar.Edit(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
        QVERIFY(bar.isHidden());
        QCOMPARE(bar.Edit()->text(), QString("ab"));
    }

    // Last: the style stays on the application.
    void FlatStyle() {
        ApplyFlatStyle(*qApp);
        QVERIFY(qApp->palette().color(QPalette::Window).lightness() > 200);
        QVERIFY(qApp->palette().color(QPalette::WindowText).lightness() < 80);

        // The check mark of a checked menu item shows.
        QMenu menu;
        QAction* on = menu.addAction("Option");
        QAction* off = menu.addAction("Option");
        for (QAction* action : {on, off}) action->setCheckable(true);
        on->setChecked(true);
        menu.adjustSize();
        QImage image = menu.grab().toImage();
        QRect first = menu.actionGeometry(on);
        QRect second = menu.actionGeometry(off);
        QCOMPARE(first.size(), second.size());
        QVERIFY(image.copy(first) != image.copy(second));
    }
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
