#include "shell/Language.h"

namespace
{

struct Text {
    int index;
    const char16_t *turkish;
    const char16_t *english;
};

constexpr Text messageTexts[] = {
    {0, u"Eksik parametre... Haberleşme ayarlarını kontrol ediniz",
     u"Not Enough Input... Please check communication parameters"},
    {1, u"En az bir(1) bölüm seçiniz...", u"Please choose at least 1(one) Sector before reading Logs..."},
    {2, u"BAĞLANTI HATASI. Lütfen ayarları ve bağlantıları kontrol ediniz!",
     u"CONNECTION FAILED. Please check Connection(s)!"},
    {3, u"En çok 28 parametre seçiniz ...", u"Please select maximum 28 Parameters ..."},
    {4, u"Bu işlem Analizörün kaydettiği parametreleri değiştirecektir, Emin misiniz ?",
     u"This action will effect Device's data saving layout, are you sure ?"},
    {5,
     u"İşlem başarıyla gerçekleştirildi, Lütfen, yeni Bilgileri okumadan önce bu Uygulamayı yeniden "
     u"başlatınız.",
     u"Successfully saved. Please restart this Application, Before reading new Data."},
    {6, u"Kayıt aralığını 1 ile 32767 sn. arasında giriniz ...",
     u"Please enter a Log Period of 1 to 32767 seconds ..."},
    {7, u"Kayıtlar dosyaya kaydedilmedi. Yine de kapatılsın mı?", u"Records not saved. Close anyway?"},
};
constexpr Text captionTexts[] = {
    {0, u"Seri Port", u"Serial Port"},
    {1, u"Ethernet", u"Ethernet"},
    {2, u"Host Ip", u"Host Ip"},
    {3, u"Host Port", u"Host Port"},
    {4, u"ModBus Adresi", u"ModBus Address"},
    {8, u"Lütfen kaydedilmesini istediğiniz parametreleri seçiniz.", u"Please Choose Parameter(s)"},
    {9, u"Kayıt Aralığı(sn.)", u"Log Period"},
    {10, u"Uygula", u"Apply"},
    {11, u"Dosyaya kayıt", u"Save to File"},
    {12, u"Kaydet", u"Save"},
    {13, u"LOG Okuma ", u"PULLREC "},
    {14, u"Bağlan", u"Connect"},
    {15, u"Bölüm Seçiniz.", u"Select Sector(s)"},
    {16, u"Bilgileri Oku ", u"Pull REC(s)..."},
    {17, u"Dosya adı", u"File name"},
    {18, u"Bağlantı Noktası (Seriport)", u"COM Port"},
    {19, u"Haberleşme Hızı (Baudrate)", u"Speed(Baudrate)"},
    {20, u"Cihaz ModBus Adresi (1-247)", u"ModBus Adsress (1-247)"},
    {21, u"Üretici", u"Vendor"},
    {22, u"Model", u"Model"},
    {23, u"Seri No", u"Serial"},
    {24, u"Versiyon", u"Version"},
    {25, u"Olay Kayıt", u"Event Log."},
    {26, u"Bölüm", u"Sector"},
    {27, u"Hepsini seç", u"Select All"},
    {28, u"Hepsini kaldır", u"Unselect All"},
    {29, u"Okuma işlemi başarılı...", u"Successfully Read"},
    {30, u"Yazma işlemi başarılı", u"Successfully Written"},
    {31, u"Okuma işleminde Hata oluştu!", u"Error occured while Read"},
    {32, u"Yazma işleminde Hata oluştu!", u"Error occured while Write"},
    {33, u"Kayıt No.", u"Record #"},
    {34, u"Tarih", u"Date"},
    {35, u"Saat", u"Time"},
    {36, u" Kaydedilen bilgiler okunuyor ...", u" Reading Log ..."},
    {37, u"Duraklat", u"Pause"},
    {38, u"Bilgileri Kaydet...", u"Save to File..."},
    {40, u" Seçilen bilgiler başarıyla okundu...", u"Selected Log data read completed Succesfully..."},
    {41, u"* Dosyaya kaydetmek için *sağ tıklayın...", u"* Right Click to save to File..."},
    {42, u"Zaman Ayarları", u"Timings"},
    {43, u"TimeOut", u"TimeOut"},
    {44, u"PollDelay", u"PollDelay"},
    {45, u"Haberleşme tipini seçiniz.", u"Choose communication type."},
    {46, u"Time Out ve Poll Delay değerleri için *sağ tıklayın.",
     u"Right click* to set communication timings. Time Out & Poll Delay"},
    {47, u"Cihaz bilgileri", u"Device Information"},
    {48, u"En çok 28 parametre seçebilirsiniz. Seçtiğiniz ayarları kaydetmek için Uygula butonunu kullanın.",
     u"Click to Apply to save new settings. You can select maximum 28 parameters."},
    {49, u"Okumak istediğiniz 1000 veriyi seçiniz... ",
     u"Select the 1000 records to download from the device... "},
    {50, u"Enerji ", u"Energy "},
    {51, u"Bağlanıyor...", u"Connecting..."},
    {52, u"Cihaz bilgileri okunuyor...", u"Reading device information..."},
    {53, u"Kayıt ayarları okunuyor...", u"Reading logging configuration..."},
    {54, u"Kayıt sayıları okunuyor...", u"Reading record counts..."},
    {55, u"Kayıt ayarları yazılıyor...", u"Writing logging configuration..."},
    {56, u"İptal", u"Cancel"},
    {57, u"Duraklatıldı. Devam etmek için tekrar açınız, yeni okuma için seçimi değiştiriniz.",
     u"Paused. Switch on to resume, or change the selection for a new download."},
    {60, u"Grafik...", u"Chart..."},
    {61, u"Dışa aktar...", u"Export..."},
    {62, u"Grafik", u"Chart"},
    {63, u"Resim olarak kaydet...", u"Save Picture..."},
    {64, u"En küçük", u"Minimum"},
    {65, u"En büyük", u"Maximum"},
    {66, u"Ortalama", u"Average"},
    {67, u"Parametre", u"Parameter"},
    {68,
     u"Yakınlaştırmak için tekerleği çevirin ya da dikdörtgen çizin, kaydırmak için sağ tuşla sürükleyin, "
     u"tümü için çift tıklayın.",
     u"Wheel or drag a rectangle to zoom, drag with the right button to pan, double click to see all."},
};

template <std::size_t N> void fill(std::array<QString, 128> &table, const Text (&texts)[N], int lang)
{
    for (const Text &t : texts)
        table[t.index] = QString::fromUtf16(lang == 0 ? t.turkish : t.english);
}

} // namespace

void fillLanguageTexts(LANGUAGE &texts, int lang)
{
    if (lang != 0 && lang != 1)
        return;
    fill(texts.messages, messageTexts, lang);
    fill(texts.captions, captionTexts, lang);
}
