#include "screen_fixture.h"

#include "widgets/blended.h"

#include <QCoreApplication>
#include <QImage>

namespace cadcons::test {
namespace {

using ScreenshotTest = ScreenTest;

// Renders the screen as the operator sees it, for a new and for an existing consumer, and keeps the
// pictures beside the test program for whoever reviews the layout.
TEST_F(ScreenshotTest, RenderedScreenHasTheDesignsColoursWhereTheyBelong) {
    const struct {
        const char* file;
        const char* code;
        const char* name; // shown in the name field
    } shots[] = {{"form-new.png", "", ""}, {"form-existing.png", "1", "MARIA APARECIDA DOS SANTOS"}};
    for (const auto& shot : shots) {
        SCOPED_TRACE(shot.file);
        initialize(QLatin1String(shot.code), QString(), QStringLiteral("000000000000000000001"), QString());
        EXPECT_EQ(text("lblNome"), QLatin1String(shot.name));
        const QImage image = form->grab().toImage();
        ASSERT_EQ(image.size(), QSize(740, 641));
        const QString path = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(shot.file);
        ASSERT_TRUE(image.save(path)) << path.toStdString();

        const auto at = [&image](int x, int y) { return image.pixelColor(x, y); };
        EXPECT_EQ(at(0, 300), QColor(204, 91, 44)) << "border";
        EXPECT_EQ(at(739, 640), QColor(204, 91, 44)) << "border";
        EXPECT_EQ(at(5, 520), QColor(Qt::black)) << "beside the keyboard";
        EXPECT_EQ(at(370, 395), QColor(Qt::black)) << "between fields and keyboard";
        EXPECT_EQ(at(5, 200), QColor(236, 236, 236)) << "fields' panel";
        const QRect name = form->fieldFrame(2)->geometry();
        EXPECT_EQ(at(name.left() + 3, name.center().y()), QColor(128, 128, 128)) << "active field";
        const QRect cpf = form->fieldFrame(5)->geometry();
        EXPECT_EQ(at(cpf.left() + 3, cpf.center().y()), QColor(Qt::white)) << "other field";
        const auto* confirma = form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
        ASSERT_NE(confirma, nullptr);
        EXPECT_EQ(confirma->color(), QColor(34, 221, 100));
        EXPECT_EQ(at(615, 614), QColor(34, 221, 100)) << "confirm key";
        EXPECT_EQ(at(15, 422), QColor(128, 128, 128)) << "key face";
    }
}

} // namespace
} // namespace cadcons::test
