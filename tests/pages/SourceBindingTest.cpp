#include "PagesFixture.h"

#include <QRadioButton>

namespace {

class SourceBindingTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        ASSERT_TRUE(m_store.SetValue("Source1.Name", "BluRay"));
        for (int n = 1; n <= 10; ++n) {
            ASSERT_TRUE(m_store.SetValue("Source" + QByteArray::number(n) + ".Enabled", "Yes"));
        }
        ASSERT_TRUE(m_store.SetValue("Source3.TriggerOut", "1"));
        ASSERT_TRUE(m_store.SetValue("Main.Trigger2.Out", "Source"));
        ASSERT_TRUE(m_store.SetValue("Main.Trigger3.Out", "Zone4"));
        Build(true);
    }
    SettingPage& Source() const { return Page(PageIndex::Source); }
    QComboBox* TriggerCombo(int source) const { return Combo(Source(), SourceTriggerId(source)); }
    QCheckBox* EnabledBox(int source) const {
        return qobject_cast<QCheckBox*>(Source().Control(SourceEnabledId(source)));
    }
    QLineEdit* NameEdit(int source) const { return Edit(Source(), SourceNameId(source)); }
    QStringList Items(int source) const {
        QStringList items;
        QComboBox* combo = TriggerCombo(source);
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
};

TEST_F(SourceBindingTest, RefreshRelabelsSourceButtonsWithoutStoring) {
    EXPECT_EQ(m_control->SourceButton(1)->text(), "BluRay");
    EXPECT_EQ(m_store.GetValue("Source1.Name"), "BluRay");
    Type(NameEdit(1), "Game");
    EXPECT_EQ(m_control->SourceButton(1)->text(), "Game");
    EXPECT_EQ(m_store.GetValue("Source1.Name"), "Game");
}

TEST_F(SourceBindingTest, StatusLineForANameRelabelsTheButtonWithoutSending) {
    ASSERT_TRUE(m_store.SetValue("Source2.Name", "Console"));
    m_binding->RefreshKey("Source2.Name");
    EXPECT_EQ(NameEdit(2)->text(), "Console");
    EXPECT_EQ(m_control->SourceButton(2)->text(), "Console");
    EXPECT_TRUE(m_updates.empty());
}

TEST_F(SourceBindingTest, DisabledSourceStaysDisabledAcrossPresetViews) {
    EnabledBox(4)->click();
    EXPECT_EQ(m_store.GetValue("Source4.Enabled"), "No");
    EXPECT_FALSE(m_control->SourceButton(4)->isEnabled());
    SetView(2);
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(m_control->SourceButton(n)->isEnabled()) << n;
    SetView(0);
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(m_control->SourceButton(n)->isEnabled(), n != 4) << n;
}

TEST_F(SourceBindingTest, TriggerListsOfferOnlyTriggersUnderSourceControl) {
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(Items(n), (QStringList{"None", "2"})) << n;
    EXPECT_EQ(TriggerCombo(3)->currentText(), "None");
    EXPECT_EQ(m_store.GetValue("Source3.TriggerOut"), "1");

    // Trigger 1 and 3 to "Source", trigger 2 back to "Main" (with a trailing blank).
    EXPECT_TRUE(
        m_binding->ControlChanged(ControlId::Trigger1Out, Entry(ControlId::Trigger1Out, 5)));
    EXPECT_TRUE(
        m_binding->ControlChanged(ControlId::Trigger3Out, Entry(ControlId::Trigger3Out, 5)));
    ASSERT_TRUE(m_store.SetValue("Main.Trigger2.Out", "Main "));
    m_binding->RebuildSourceTriggerChoices(true);
    EXPECT_EQ(Items(7), (QStringList{"None", "1", "3", "1+3"}));
    EXPECT_EQ(TriggerCombo(3)->currentText(), "1");

    m_updates.clear();
    QComboBox* combo = TriggerCombo(5);
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Source5.TriggerOut", "5"}}));
}

TEST_F(SourceBindingTest, StatusLineForASourceTriggerSelectsIt) {
    for (int n : {4, 10}) {
        const QByteArray key = "Source" + QByteArray::number(n) + ".TriggerOut";
        ASSERT_TRUE(m_store.SetValue(key, "2"));
        m_binding->RefreshKey(key);
        EXPECT_EQ(TriggerCombo(n)->currentText(), "2") << n;
    }
    // A target handed to source control at the receiver widens every list.
    ASSERT_TRUE(m_store.SetValue("Main.Trigger1.Out", "Source"));
    m_binding->RefreshKey("Main.Trigger1.Out");
    EXPECT_EQ(Items(7), (QStringList{"None", "1", "2", "1+2"}));
    EXPECT_EQ(TriggerCombo(4)->currentText(), "2");
    EXPECT_TRUE(m_updates.empty());
}

struct InputChangeCase {
    const char* name;
    ControlId controlId;
    int entry;
    std::vector<KeyValue> sent;
};

TEST_F(SourceBindingTest, InputChoiceSendsFormatBeforeInput) {
    const InputChangeCase cases[] = {
        {"ext 7.1", ControlId::Source3AnalogAudioInput, 8, {{"Source3.AnalogAudioFormat", "7.1"}}},
        {"audio mp",
         ControlId::Source3AnalogAudioInput,
         7,
         {{"Source3.AnalogAudioFormat", "Stereo"}, {"Source3.AnalogAudioInput", "8"}}},
        {"analog off",
         ControlId::Source1AnalogAudioInput,
         9,
         {{"Source1.AnalogAudioFormat", "Off"}}},
        {"optical front",
         ControlId::Source2DigitalAudioInput,
         10,
         {{"Source2.DigitalAudioFormat", "Optical"}, {"Source2.DigitalAudioInput", "4"}}},
        {"coaxial 3",
         ControlId::Source2DigitalAudioInput,
         6,
         {{"Source2.DigitalAudioFormat", "Coaxial"}, {"Source2.DigitalAudioInput", "3"}}},
        {"digital hdmi 2",
         ControlId::Source9DigitalAudioInput,
         1,
         {{"Source9.DigitalAudioFormat", "HDMI"}, {"Source9.DigitalAudioInput", "2"}}},
        {"digital off",
         ControlId::Source9DigitalAudioInput,
         11,
         {{"Source9.DigitalAudioFormat", "Off"}}},
        {"svideo front",
         ControlId::Source1VideoInput,
         11,
         {{"Source1.VideoFormat", "SVideo"}, {"Source1.VideoInput", "6"}}},
        {"video front",
         ControlId::Source1VideoInput,
         5,
         {{"Source1.VideoFormat", "Video"}, {"Source1.VideoInput", "6"}}},
        {"component 2",
         ControlId::Source1VideoInput,
         13,
         {{"Source1.VideoFormat", "Component"}, {"Source1.VideoInput", "2"}}},
        {"video hdmi 4",
         ControlId::Source1VideoInput,
         18,
         {{"Source1.VideoFormat", "HDMI"}, {"Source1.VideoInput", "4"}}},
        {"video off", ControlId::Source1VideoInput, 19, {{"Source1.VideoFormat", "Off"}}},
    };
    for (const InputChangeCase& c : cases) {
        m_updates.clear();
        EXPECT_TRUE(m_binding->ControlChanged(c.controlId, Entry(c.controlId, c.entry))) << c.name;
        EXPECT_EQ(m_updates, c.sent) << c.name;
    }
    EXPECT_EQ(m_store.GetValue("Source2.DigitalAudioInput"), "3");
    m_updates.clear();
    EXPECT_FALSE(m_binding->ControlChanged(ControlId::Source1VideoInput,
                                           Entry(ControlId::Source1VideoInput, 20)));
    EXPECT_FALSE(m_binding->ControlChanged(ControlId::Source3AnalogAudioInput,
                                           Entry(ControlId::Source3AnalogAudioInput, -1)));
    EXPECT_TRUE(m_updates.empty());
}

struct ComposeCase {
    const char* name;
    const char* key;
    const char* format;
    const char* input;
    const char* shown;
};

TEST_F(SourceBindingTest, StoredFormatAndInputSelectOneEntry) {
    const ComposeCase cases[] = {
        {"ext 7.1 whatever the input", "Source5.AnalogAudio", "7.1", "3", "EXT 7.1"},
        {"analog off", "Source5.AnalogAudio", "Off", "3", "OFF"},
        {"analog digit", "Source5.AnalogAudio", "Stereo", "8", "AUDIO MP"},
        {"analog digit of no entry", "Source5.AnalogAudio", "Stereo", "9", ""},
        {"coaxial 2", "Source3.DigitalAudio", "Coaxial", "2", "COAXIAL 2"},
        {"digital off", "Source3.DigitalAudio", "Off", "2", "OFF"},
        {"optical front", "Source3.DigitalAudio", "Optical", "4", "OPTICAL FRONT"},
        {"svideo 2", "Source6.Video", "SVideo", "2", "SVIDEO 2"},
    };
    for (const ComposeCase& c : cases) {
        const QByteArray base(c.key);
        ASSERT_TRUE(m_store.SetValue(base + "Format", c.format)) << c.name;
        ASSERT_TRUE(m_store.SetValue(base + "Input", c.input)) << c.name;
        const BindingRow* row = FindRowByKey(base + "Input");
        ASSERT_NE(row, nullptr) << c.name;
        const ValueChoice* shown = m_binding->Model().ShownChoice(*row);
        EXPECT_EQ(QString(shown == nullptr ? "" : shown->shown), c.shown) << c.name;
    }
}

// Names travel in the Windows code page: the euro sign and typographic quotes
// reach the store as their bytes, and come back from it as the same characters.
TEST_F(SourceBindingTest, NamesConvertWithTheWindowsCodePage) {
    Type(NameEdit(1), QString::fromUtf8("Café €"));
    EXPECT_EQ(m_store.GetValue("Source1.Name"), "Caf\xE9 \x80");
    EXPECT_EQ(m_control->SourceButton(1)->text(), QString::fromUtf8("Café €"));

    ASSERT_TRUE(m_store.SetValue("Source2.Name", "\x93Hi\x94"));
    m_binding->RefreshKey("Source2.Name");
    EXPECT_EQ(NameEdit(2)->text(), QString::fromUtf8("“Hi”"));
    EXPECT_EQ(m_control->SourceButton(2)->text(), QString::fromUtf8("“Hi”"));
}

}  // namespace
