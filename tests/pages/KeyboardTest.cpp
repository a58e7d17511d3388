#include "PagesFixture.h"
#include "StepButtons.h"

#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <optional>

namespace {

struct ArrowKeyCase {
    const char* name;
    ControlId editId;
    Qt::Key key;
    const char* raw;           // the step command sent, nullptr: none
    const char* lipSyncDelay;  // the delay stored afterwards, nullptr: untouched
};

void PrintTo(const ArrowKeyCase& c, std::ostream* os) {
    *os << c.name;
}

class ArrowKeys : public PagesFixture, public ::testing::WithParamInterface<ArrowKeyCase> {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        Build();
    }
};

TEST_P(ArrowKeys, PressTheMatchingArrow) {
    const ArrowKeyCase& c = GetParam();
    QLineEdit* edit = Edit(*m_control, c.editId);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    QTest::keyClick(edit, c.key);
    if (c.raw != nullptr) {
        EXPECT_EQ(m_raw, std::vector<QByteArray>{c.raw});
    } else {
        EXPECT_TRUE(m_raw.empty());
    }
    if (c.lipSyncDelay != nullptr) {
        EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Main.LipSyncDelay", c.lipSyncDelay}}));
    } else {
        EXPECT_TRUE(m_updates.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    ControlPage, ArrowKeys,
    ::testing::Values(
        ArrowKeyCase{"VolumeUp", ControlId::Volume, Qt::Key_Up, "Main.Volume+", nullptr},
        ArrowKeyCase{"VolumeDown", ControlId::Volume, Qt::Key_Down, "Main.Volume-", nullptr},
        ArrowKeyCase{"VolumePageDown", ControlId::Volume, Qt::Key_PageDown, "Main.Volume-",
                     nullptr},
        ArrowKeyCase{"VolumeLeftIsNoStep", ControlId::Volume, Qt::Key_Left, nullptr, nullptr},
        ArrowKeyCase{"CenterTrimPageUp", ControlId::TrimCenter, Qt::Key_PageUp, "Main.Trim.Center+",
                     nullptr},
        ArrowKeyCase{"SubTrimPageDown", ControlId::TrimSub, Qt::Key_PageDown, "Main.Trim.Sub-",
                     nullptr},
        ArrowKeyCase{"LipSyncUp", ControlId::LipSyncDelay, Qt::Key_Up, nullptr, "1"},
        ArrowKeyCase{"LipSyncDownStopsAtZero", ControlId::LipSyncDelay, Qt::Key_Down, nullptr,
                     nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

struct ArrowNameCase {
    ControlId spinId;
    const char* name;
};

class ControlPageNames : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        Build();
    }
};

TEST_F(ControlPageNames, StepArrowsAreNamedAndStayOutOfTheTabChain) {
    const ArrowNameCase cases[] = {
        {ControlId::VolumeArrows, "Volume"},
        {ControlId::LipSyncDelayArrows, "Lip sync"},
        {ControlId::TrimCenterArrows, "Center trim"},
        {ControlId::TrimSurroundArrows, "Surround trim"},
        {ControlId::TrimSubArrows, "Sub trim"},
    };
    for (const ArrowNameCase& c : cases) {
        auto* spin = qobject_cast<StepButtons*>(m_control->Control(c.spinId));
        ASSERT_NE(spin, nullptr) << c.spinId;
        EXPECT_EQ(spin->UpButton()->accessibleName(), QString::fromLatin1(c.name) + " up");
        EXPECT_EQ(spin->DownButton()->accessibleName(), QString::fromLatin1(c.name) + " down");
        for (const QToolButton* arrow : {spin->UpButton(), spin->DownButton()})
            EXPECT_EQ(arrow->focusPolicy(), Qt::NoFocus) << c.name;
    }
}

TEST_F(ControlPageNames, SourceButtonWithoutANameIsStillNamed) {
    m_control->SetSourceName(3, "  ");
    EXPECT_EQ(m_control->SourceButton(3)->accessibleName(), "Source 3");
    m_control->SetSourceName(3, "Blu-ray");
    EXPECT_TRUE(m_control->SourceButton(3)->accessibleName().isEmpty());
    EXPECT_EQ(m_control->SourceButton(3)->text(), "Blu-ray");
}

struct NameTypingCase {
    const char* name;
    const char* stored;  // Preset4.Name as the receiver or a file left it
    std::function<void(QLineEdit*)> typing;
    const char* shown;               // the edit's text afterwards
    std::optional<QByteArray> sent;  // the last name sent, none: nothing sent
};

void PrintTo(const NameTypingCase& c, std::ostream* os) {
    *os << c.name;
}

class PresetNameTyping : public PagesFixture, public ::testing::WithParamInterface<NameTypingCase> {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        Build();
    }
};

TEST_P(PresetNameTyping, LimitsTypingTo12AndShowsStoredTextWhole) {
    const NameTypingCase& c = GetParam();
    QLineEdit* name = Edit(*m_avPreset, ControlId::Preset4Name);
    ASSERT_TRUE(m_store.SetValue("Preset4.Name", c.stored));
    m_binding->RefreshKey("Preset4.Name");
    ASSERT_EQ(name->text(), QString::fromLatin1(c.stored));
    ASSERT_TRUE(m_updates.empty());

    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    c.typing(name);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(name->text(), QString::fromLatin1(c.shown));
    if (c.sent) {
        ASSERT_FALSE(m_updates.empty());
        EXPECT_EQ(m_updates.back(), (KeyValue{"Preset4.Name", *c.sent}));
    } else {
        EXPECT_TRUE(m_updates.empty());
    }
}

const char* const kLongName = "Movie Night Longer";  // 18 characters

INSTANTIATE_TEST_SUITE_P(
    AvPresetPage, PresetNameTyping,
    ::testing::Values(NameTypingCase{"TypingStopsAt12", "Movie",
                                     [](QLineEdit* e) { QTest::keyClicks(e, " Night Out"); },
                                     "Movie Night ", QByteArray("Movie Night ")},
                      NameTypingCase{"LongStoredNameRefusesMoreText", kLongName,
                                     [](QLineEdit* e) { QTest::keyClicks(e, "X"); }, kLongName,
                                     std::nullopt},
                      NameTypingCase{"LongStoredNameCanBeShortened", kLongName,
                                     [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Backspace); },
                                     "Movie Night Longe", QByteArray("Movie Night Longe")},
                      NameTypingCase{"ShortenedLongNameStillRefusesMore", kLongName,
                                     [](QLineEdit* e) {
                                         QTest::keyClick(e, Qt::Key_Backspace);
                                         QTest::keyClicks(e, "rr");
                                     },
                                     "Movie Night Longe", QByteArray("Movie Night Longe")},
                      NameTypingCase{"LongStoredNameReplacedByTyping", kLongName,
                                     [](QLineEdit* e) {
                                         e->selectAll();
                                         QTest::keyClicks(e, "Jazz Club Evening");
                                     },
                                     "Jazz Club Ev", QByteArray("Jazz Club Ev")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
