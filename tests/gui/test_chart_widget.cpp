#include <qcustomplot.h>

#include <QAction>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/plot/ChartModel.h"
#include "core/plot/PlotView.h"
#include "plot/ChartWidget.h"

using namespace kivo;

namespace {

std::vector<std::pair<double, double>> GraphPoints(QCPGraph* graph) {
    std::vector<std::pair<double, double>> points;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
        points.emplace_back(it->key, it->value);
    }
    return points;
}

// The store's points in the graph's order (by X).
std::vector<std::pair<double, double>> StorePoints(const ChartModel& model, int channel) {
    std::vector<std::pair<double, double>> points;
    const PointStore& store = model.Channel(channel).points;
    for (std::size_t i = 0; i < store.size(); ++i) points.emplace_back(store[i].x, store[i].y);
    std::stable_sort(points.begin(), points.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return points;
}

}  // namespace

class ChartWidgetTest : public QObject {
    Q_OBJECT

    struct Fixture {
        ChartModel model;
        ChartWidget widget;
        int replots = 0;

        explicit Fixture(std::size_t pointsPerChannel = ChartModel::kPointsPerChannel)
            : model(pointsPerChannel), widget(model) {
            ConfigureChart(model, "KIVO Sensor");
            widget.Sync();
            widget.resize(800, 500);
            QObject::connect(widget.Plot(), &QCustomPlot::afterReplot, [this] { ++replots; });
        }
        QCustomPlot* Plot() { return widget.Plot(); }
        template <class T>
        T* Find(const char* name) {
            return widget.findChild<T*>(name);
        }
        void Trigger(const char* action) {
            QAction* a = Find<QAction>(action);
            QVERIFY2(a != nullptr, action);
            a->trigger();
        }
    };

private slots:
    void syncDrawsTheModelsPointsAndRanges() {
        Fixture f;
        const int a = f.model.AddChannel();
        const int b = f.model.AddChannel();
        for (int x = 0; x < 150; ++x) {
            f.model.AddXY(a, x, x % 10);
            if (x % 2 == 0) f.model.AddXY(b, x, -x);
        }
        f.widget.Sync();
        QCOMPARE(f.Plot()->graphCount(), 2);
        QVERIFY(GraphPoints(f.Plot()->graph(0)) == StorePoints(f.model, a));
        QVERIFY(GraphPoints(f.Plot()->graph(1)) == StorePoints(f.model, b));
        QCOMPARE(f.Plot()->xAxis->range().lower, f.model.XAxis().minimum);
        QCOMPARE(f.Plot()->xAxis->range().upper, f.model.XAxis().Maximum());
        QCOMPARE(f.Plot()->yAxis->range().lower, f.model.YAxis().minimum);
        QCOMPARE(f.Plot()->yAxis->range().upper, f.model.YAxis().Maximum());
    }

    void appendsIncrementallyAndRebuildsOnlyOnStructure() {
        Fixture f;
        const int c = f.model.AddChannel();
        f.model.AddXY(c, 0, 1);
        f.widget.Sync();
        QCPGraph* graph = f.Plot()->graph(0);
        for (int x = 1; x < 20; ++x) f.model.AddXY(c, x, x);
        f.widget.Sync();
        QCOMPARE(f.Plot()->graph(0), graph);  // the same graph took the new points
        QCOMPARE(graph->data()->size(), 20);
        QCOMPARE(graph->data()->at(19)->value, 19.0);

        f.model.ClearAllData();
        f.widget.Sync();
        QCOMPARE(f.Plot()->graphCount(), 1);
        QCOMPARE(f.Plot()->graph(0)->data()->size(), 0);
        f.model.AddXY(c, 20, 5);
        f.widget.Sync();
        QCOMPARE(f.Plot()->graph(0)->data()->size(), 1);
    }

    void droppedPointsLeaveTheDrawing() {
        Fixture f(10);
        const int c = f.model.AddChannel();
        int x = 0;
        for (int sync = 0; sync < 5; ++sync) {
            for (int i = 0; i < 7; ++i, ++x) f.model.AddXY(c, x, x * 2);
            f.widget.Sync();
            QVERIFY(GraphPoints(f.Plot()->graph(0)) == StorePoints(f.model, c));
        }
        QCOMPARE(f.Plot()->graph(0)->data()->size(), 10);
        QCOMPARE(f.Plot()->graph(0)->data()->constBegin()->key, 25.0);

        // The sample number falls back (the meter stopped sending its date).
        for (int i = 0; i < 4; ++i) f.model.AddXY(c, 3 + i, -1);
        f.widget.Sync();
        QVERIFY(GraphPoints(f.Plot()->graph(0)) == StorePoints(f.model, c));
        for (int i = 0; i < 12; ++i) f.model.AddXY(c, 7 + i, 1);
        f.widget.Sync();
        QVERIFY(GraphPoints(f.Plot()->graph(0)) == StorePoints(f.model, c));
    }

    // QCustomPlot leaves a gap at a NaN value: one stands between the points before and
    // after a pause in the data, drawn point by point or all at once, and goes when the
    // point before the pause leaves the store.
    void aPauseInTheDataBreaksTheLine() {
        Fixture f(6);
        const int c = f.model.AddChannel();
        for (int x = 0; x < 3; ++x) f.model.AddXY(c, x, x);
        f.widget.Sync();
        f.model.BreakLines();
        f.model.AddXY(c, 3, 30);
        f.model.AddXY(c, 4, 40);
        const auto broken = [&f] {
            const std::vector<std::pair<double, double>> points = GraphPoints(f.Plot()->graph(0));
            const std::vector<double> keys = {0, 1, 2, 2.5, 3, 4};
            if (points.size() != keys.size()) return false;
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (points[i].first != keys[i] || std::isnan(points[i].second) != (i == 3))
                    return false;
            }
            return true;
        };
        f.widget.Sync();  // the new points added to the drawing
        QVERIFY(broken());
        f.model.AddChannel();
        f.widget.Sync();  // every graph drawn afresh
        QVERIFY(broken());

        for (int x = 5; x < 9; ++x) f.model.AddXY(c, x, x);
        f.widget.Sync();
        QVERIFY(GraphPoints(f.Plot()->graph(0)) == StorePoints(f.model, c));
    }

    void legendAndTitleShowTheModelsTexts() {
        Fixture f;
        f.model.SetTitle("KIVO BB9");
        const int a = f.model.AddChannel();
        const int b = f.model.AddChannel();
        f.model.SetTitleText(a, "CHL:");
        f.model.SetTitleText(b, "470 nm");
        f.model.SetColour(b, Rgb(0, 169, 255));
        f.widget.Sync();
        QCOMPARE(f.Plot()->legend->itemCount(), 2);
        QCOMPARE(f.Plot()->graph(0)->name(), QString("CHL:"));
        QCOMPARE(f.Plot()->graph(1)->name(), QString("470 nm"));
        QCOMPARE(f.Plot()->graph(1)->pen().color(), QColor(0, 169, 255));
        auto* title = qobject_cast<QCPTextElement*>(f.Plot()->plotLayout()->element(0, 0));
        QVERIFY(title != nullptr);
        QCOMPARE(title->text(), QString("KIVO BB9"));
        QCOMPARE(title->textColor(), QColor(255, 255, 255));

        QCPGraph* graph = f.Plot()->graph(0);
        f.model.SetTitleText(a, "CHL: 48.40 ug/l");
        f.widget.Sync();
        QCOMPARE(f.Plot()->graph(0), graph);
        QCOMPARE(f.Plot()->graph(0)->name(), QString("CHL: 48.40 ug/l"));

        f.model.SetAxisLabels("Sample", "Beta [1/(m sr)]");
        f.widget.Sync();
        QCOMPARE(f.Plot()->xAxis->label(), QString("Sample"));
        QCOMPARE(f.Plot()->yAxis->label(), QString("Beta [1/(m sr)]"));
        f.model.SetAxisLabels("Sample", "CHL [ug/l]");
        f.widget.Sync();
        QCOMPARE(f.Plot()->yAxis->label(), QString("CHL [ug/l]"));
    }

    void oneQueuedReplotPerSyncAndNoneWithoutChange() {
        Fixture f;
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        const int c = f.model.AddChannel();
        f.widget.Sync();
        QTRY_VERIFY(f.replots > 0);
        f.replots = 0;
        f.model.AddXY(c, 1, 1);
        f.widget.Sync();
        f.model.AddXY(c, 2, 2);
        f.widget.Sync();
        QCOMPARE(f.replots, 0);  // queued, not drawn inside Sync
        QCoreApplication::processEvents();
        QCOMPARE(f.replots, 1);
        f.widget.Sync();  // nothing changed
        QCoreApplication::processEvents();
        QCOMPARE(f.replots, 1);
    }

    void toolbarZoomPauseAndEditButton() {
        Fixture f;
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        QToolButton* edit = f.Find<QToolButton>("ChartEdit");
        QVERIFY(edit != nullptr);
        QTRY_VERIFY(!edit->isVisible());  // hidden by the start-up configuration
        f.model.ShowEditButton(true);
        f.widget.Sync();
        QTRY_VERIFY(edit->isVisible());

        const int c = f.model.AddChannel();
        for (int x = 0; x <= 200; ++x) f.model.AddXY(c, x, x);
        f.Trigger("ZoomIn");
        QCOMPARE(f.model.XAxis().span, 50.0);
        QCOMPARE(f.Plot()->xAxis->range().size(), 50.0);
        f.Trigger("ZoomOut");
        f.Trigger("ZoomOut");
        QCOMPARE(f.Plot()->xAxis->range().size(), 200.0);
        QCOMPARE(f.Plot()->xAxis->range().upper, 200.0);

        QAction* pause = f.Find<QAction>("PauseScroll");
        QCOMPARE(pause->text(), QString("Pause"));
        pause->trigger();
        QVERIFY(f.model.ScrollPaused());
        QCOMPARE(pause->text(), QString("Resume"));
        for (int x = 201; x <= 260; ++x) f.model.AddXY(c, x, x);
        f.widget.Sync();
        QCOMPARE(f.Plot()->xAxis->range().upper, 200.0);
        pause->trigger();
        QVERIFY(!f.model.ScrollPaused());
        QCOMPARE(pause->text(), QString("Pause"));
        QCOMPARE(f.Plot()->xAxis->range().upper, 260.0);
    }

    void editMenuSwitchesTheLook() {
        Fixture f;
        f.Trigger("ChartGrid");  // on by design: now off
        QVERIFY(!f.model.Properties().gridVisible);
        QVERIFY(!f.Plot()->xAxis->grid()->visible());
        f.Trigger("ChartLegend");
        QVERIFY(!f.model.Properties().legendVisible);
        QVERIFY(!f.Plot()->legend->visible());
        const int c = f.model.AddChannel();
        f.Trigger("ChartThickLines");
        QCOMPARE(f.model.Properties().lineWidth, 2);
        QCOMPARE(f.Plot()->graph(c)->pen().width(), 2);
    }

    void dataCursorShowsXAndYUnderTheMouse() {
        Fixture f;
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        f.widget.Sync();
        f.Plot()->replot();  // lays out the axis rect now
        QVERIFY(f.widget.DataCursorText().isEmpty());
        const QPoint centre = f.Plot()->axisRect()->rect().center();
        const auto move = [&] {
            QMouseEvent event(QEvent::MouseMove, QPointF(centre),
                              f.Plot()->mapToGlobal(QPointF(centre)), Qt::NoButton, Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(f.Plot(), &event);
        };
        move();
        QVERIFY(f.widget.DataCursorText().isEmpty());  // not shown until switched on

        f.Trigger("DataCursor");
        move();
        const QString expected =
            QString::asprintf("X: %.1f  Y: %.4g", f.Plot()->xAxis->pixelToCoord(centre.x()),
                              f.Plot()->yAxis->pixelToCoord(centre.y()));
        QCOMPARE(f.widget.DataCursorText(), expected);
        // The middle of the empty design range 0..100 on both axes.
        QVERIFY(qAbs(f.Plot()->xAxis->pixelToCoord(centre.x()) - 50.0) < 2.0);
        QVERIFY(qAbs(f.Plot()->yAxis->pixelToCoord(centre.y()) - 50.0) < 2.0);

        f.Trigger("DataCursor");
        QVERIFY(f.widget.DataCursorText().isEmpty());
    }

    void propertiesRoundTripThroughTheWidget() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("kivoiocomp.rbs");
        {
            Fixture f;
            f.Trigger("ChartGrid");
            f.Trigger("ChartThickLines");
            QVERIFY(f.widget.SavePropertiesToFile(path));
        }
        Fixture g;
        QVERIFY(g.widget.LoadPropertiesFromFile(path));
        QVERIFY(!g.model.Properties().gridVisible);
        QCOMPARE(g.model.Properties().lineWidth, 2);
        QVERIFY(!g.Plot()->yAxis->grid()->visible());
        QVERIFY(g.Find<QAction>("ChartThickLines")->isChecked());

        QFile damaged(dir.filePath("damaged.rbs"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("version=1\nlegendVisible=maybe\n");
        damaged.close();
        Fixture h;
        QVERIFY(!h.widget.LoadPropertiesFromFile(damaged.fileName()));
        QVERIFY(!h.widget.LoadPropertiesFromFile(dir.filePath("missing.rbs")));
        QVERIFY(h.Plot()->legend->visible());
        QVERIFY(h.Plot()->xAxis->grid()->visible());
    }

    void saveImageWritesPngAndPdf() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Fixture f;
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        const int c = f.model.AddChannel();
        for (int x = 0; x < 50; ++x) f.model.AddXY(c, x, x % 7);
        QStringList failures;
        f.widget.SetFailureReporter([&](const QString& path) { failures << path; });
        QString answer;
        f.widget.SetImagePathChooser([&](QWidget*) { return answer; });

        answer = dir.filePath("chart.png");
        f.Trigger("SaveImage");
        QImage image(answer);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), f.Plot()->size());
        // The design look: a dark background.
        QCOMPARE(image.pixelColor(2, image.height() - 2), QColor(0, 0, 0));

        answer = dir.filePath("chart");
        f.Trigger("SaveImage");
        QVERIFY(!QImage(answer + ".png").isNull());

        answer = dir.filePath("chart.PDF");
        f.Trigger("SaveImage");
        QFile pdf(answer);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");

        answer.clear();  // cancelled
        f.Trigger("SaveImage");
        answer = dir.filePath("no-such-folder/chart.png");
        f.Trigger("SaveImage");
        QCOMPARE(failures, QStringList{answer});
    }
};

QTEST_MAIN(ChartWidgetTest)
#include "test_chart_widget.moc"
