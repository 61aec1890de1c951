// Every language text of the main window in English, in Turkish and for a language that has no table.

#include "UiHarness.h"

#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QTableView>

#include <functional>

using namespace ui;

namespace
{

struct Caption {
    const char *what;
    std::function<QString(TForm1 &)> get;
    const char16_t *english;
    const char16_t *turkish;
};

const std::vector<Caption> &captions()
{
    static const std::vector<Caption> table = {
        {"Bevel1 hint", [](TForm1 &f) { return f.Bevel1->toolTip(); }, u"Choose communication type.",
         u"Haberleşme tipini seçiniz."},
        {"GroupBox1 hint", [](TForm1 &f) { return f.GroupBox1->toolTip(); },
         u"Right click* to set communication timings. Time Out & Poll Delay",
         u"Time Out ve Poll Delay değerleri için *sağ tıklayın."},
        {"Label5", [](TForm1 &f) { return f.Label5->text(); }, u"Device Information", u"Cihaz bilgileri"},
        {"Panel2 hint", [](TForm1 &f) { return f.Panel2->toolTip(); },
         u"Click to Apply to save new settings. You can select maximum 28 parameters.",
         u"En çok 28 parametre seçebilirsiniz. Seçtiğiniz ayarları kaydetmek için Uygula butonunu kullanın."},
        {"GroupBox3 hint", [](TForm1 &f) { return f.GroupBox3->toolTip(); },
         u"Select the 1000 records to download from the device... ",
         u"Okumak istediğiniz 1000 veriyi seçiniz... "},
        {"RadioButton1", [](TForm1 &f) { return f.RadioButton1->text(); }, u"Serial Port", u"Seri Port"},
        {"RadioButton2", [](TForm1 &f) { return f.RadioButton2->text(); }, u"Ethernet", u"Ethernet"},
        {"grid hint", [](TForm1 &f) { return f.grid->toolTip(); }, u"* Right Click to save to File...",
         u"* Dosyaya kaydetmek için *sağ tıklayın..."},
        {"CheckBox1", [](TForm1 &f) { return f.CheckBox1->text(); }, u"Event Log.", u"Olay Kayıt"},
        {"LabeledEdit3 label", [](TForm1 &f) { return f.LabeledEdit3->label()->text(); }, u"ModBus Address",
         u"ModBus Adresi"},
        {"BitBtn1", [](TForm1 &f) { return f.BitBtn1->text(); }, u"Connect", u"Bağlan"},
        {"Label1", [](TForm1 &f) { return f.Label1->text(); }, u"Select Sector(s)", u"Bölüm Seçiniz."},
        {"BitBtn2", [](TForm1 &f) { return f.BitBtn2->text(); }, u"Pull REC(s)...", u"Bilgileri Oku "},
        {"iSwitchLed1", [](TForm1 &f) { return f.iSwitchLed1->caption(); }, u"Pull REC(s)...",
         u"Bilgileri Oku "},
        {"Label2", [](TForm1 &f) { return f.Label2->text(); }, u"Please Choose Parameter(s)",
         u"Lütfen kaydedilmesini istediğiniz parametreleri seçiniz."},
        {"LabeledEdit4 label", [](TForm1 &f) { return f.LabeledEdit4->label()->text(); }, u"Log Period",
         u"Kayıt Aralığı(sn.)"},
        {"BitBtn3", [](TForm1 &f) { return f.BitBtn3->text(); }, u"Apply", u"Uygula"},
        {"Label3", [](TForm1 &f) { return f.Label3->text(); }, u"Save to File", u"Dosyaya kayıt"},
        {"Label4", [](TForm1 &f) { return f.Label4->text(); }, u"File name", u"Dosya adı"},
        {"BitBtn4", [](TForm1 &f) { return f.BitBtn4->text(); }, u"Save", u"Kaydet"},
        {"title", [](TForm1 &f) { return f.windowTitle(); }, u"PULLREC v1.8.4.3", u"LOG Okuma v1.8.4.3"},
        {"Adres_Label", [](TForm1 &f) { return f.Adres_Label->text(); }, u"ModBus Adsress (1-247)",
         u"Cihaz ModBus Adresi (1-247)"},
        {"Baud_Label", [](TForm1 &f) { return f.Baud_Label->text(); }, u"Speed(Baudrate)",
         u"Haberleşme Hızı (Baudrate)"},
        {"Com_Label", [](TForm1 &f) { return f.Com_Label->text(); }, u"COM Port",
         u"Bağlantı Noktası (Seriport)"},
        {"d1", [](TForm1 &f) { return f.d1->text(); }, u"Select All", u"Hepsini seç"},
        {"d2", [](TForm1 &f) { return f.d2->text(); }, u"Unselect All", u"Hepsini kaldır"},
        {"S1", [](TForm1 &f) { return f.S1->text(); }, u"Save to File...", u"Bilgileri Kaydet..."},
        {"N1", [](TForm1 &f) { return f.N1->text(); }, u"Timings", u"Zaman Ayarları"},
    };
    return table;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { settingsfile::remove(); }

    void captions_data()
    {
        QTest::addColumn<int>("lang");
        QTest::newRow("English") << 1;
        QTest::newRow("Turkish") << 0;
        QTest::newRow("no table") << 7;
    }

    void captions()
    {
        QFETCH(int, lang);
        ScratchDir scratch;
        Settings s;
        s.lang = lang;
        auto form = openWindow(s);
        QVERIFY(form);
        for (const Caption &c : ::captions()) {
            QString expected = lang == 1   ? QString::fromUtf16(c.english)
                               : lang == 0 ? QString::fromUtf16(c.turkish)
                                           : QString();
            if (lang != 0 && lang != 1 && QByteArray(c.what) == "title")
                expected = QStringLiteral("v1.8.4.3");
            QVERIFY2(c.get(*form) == expected, c.what);
        }
        // Language-independent texts.
        QCOMPARE(form->LabeledEdit1->label()->text(), QStringLiteral("Host Ip "));
        QCOMPARE(form->LabeledEdit2->label()->text(), QStringLiteral("Host Port"));
        QCOMPARE(form->iLedRectangle1->caption(), QStringLiteral("RX"));
        QCOMPARE(form->iLedRectangle2->caption(), QStringLiteral("TX"));
        QVERIFY(!form->d1->isEnabled() && !form->d2->isEnabled() && !form->S1->isEnabled());

        // A message box in the same language: Connect with no host.
        form->RadioButton2->click();
        form->LabeledEdit1->setText(QString());
        ModalAnswer box;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(box.wait());
        const QString message =
            lang == 1   ? QStringLiteral("Not Enough Input... Please check communication parameters")
            : lang == 0 ? QStringLiteral("Eksik parametre... Haberleşme ayarlarını kontrol ediniz")
                        : QString();
        QCOMPARE(box.text(), message);

        // The language is kept as it was read, also one that has no table.
        form->LabeledEdit1->setText(QStringLiteral("127.0.0.1"));
        QVERIFY(form->close());
        QVERIFY(settingsfile::read().startsWith("[LANG]\n1=" + QByteArray::number(lang) + "\n"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
