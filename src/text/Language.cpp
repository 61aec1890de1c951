#include "text/Language.h"

#include "model/AnalyzerMap.h"

namespace
{

struct Text {
    int index;
    const char16_t *turkish;
    const char16_t *english;
};

constexpr Text messageTexts[] = {
    {Messages::NotEnoughInput, u"Eksik parametre... Haberleşme ayarlarını kontrol ediniz",
     u"Not Enough Input... Please check communication parameters"},
    {Messages::NoSector, u"En az bir(1) bölüm seçiniz...",
     u"Please choose at least 1(one) Sector before reading Logs..."},
    {Messages::ConnectionFailed, u"BAĞLANTI HATASI. Lütfen ayarları ve bağlantıları kontrol ediniz!",
     u"CONNECTION FAILED. Please check Connection(s)!"},
    {Messages::TooManyParameters, u"En çok 28 parametre seçiniz ...",
     u"Please select maximum 28 Parameters ..."},
    {Messages::ConfirmApply, u"Bu işlem Analizörün kaydettiği parametreleri değiştirecektir, Emin misiniz ?",
     u"This action will effect Device's data saving layout, are you sure ?"},
    {Messages::Applied,
     u"İşlem başarıyla gerçekleştirildi, Lütfen, yeni Bilgileri okumadan önce bu Uygulamayı yeniden "
     u"başlatınız.",
     u"Successfully saved. Please restart this Application, Before reading new Data."},
    {Messages::LogPeriodRange, u"Kayıt aralığını 1 ile 32767 sn. arasında giriniz ...",
     u"Please enter a Log Period of 1 to 32767 seconds ..."},
    {Messages::CloseUnsaved, u"Kayıtlar dosyaya kaydedilmedi. Yine de kapatılsın mı?",
     u"Records not saved. Close anyway?"},
};
constexpr Text captionTexts[] = {
    {Captions::SerialPort, u"Seri Port", u"Serial Port"},
    {Captions::Ethernet, u"Ethernet", u"Ethernet"},
    {Captions::HostIp, u"Host Ip", u"Host Ip"},
    {Captions::HostPort, u"Host Port", u"Host Port"},
    {Captions::ModbusAddress, u"ModBus Adresi", u"ModBus Address"},
    {Captions::ChooseParameters, u"Lütfen kaydedilmesini istediğiniz parametreleri seçiniz.",
     u"Please Choose Parameter(s)"},
    {Captions::LogPeriod, u"Kayıt Aralığı(sn.)", u"Log Period"},
    {Captions::Apply, u"Uygula", u"Apply"},
    {Captions::SaveToFileLabel, u"Dosyaya kayıt", u"Save to File"},
    {Captions::Save, u"Kaydet", u"Save"},
    {Captions::Title, u"LOG Okuma ", u"PULLREC "},
    {Captions::Connect, u"Bağlan", u"Connect"},
    {Captions::SelectSectors, u"Bölüm Seçiniz.", u"Select Sector(s)"},
    {Captions::PullRecords, u"Bilgileri Oku ", u"Pull REC(s)..."},
    {Captions::FileName, u"Dosya adı", u"File name"},
    {Captions::ComPort, u"Bağlantı Noktası (Seriport)", u"COM Port"},
    {Captions::BaudRate, u"Haberleşme Hızı (Baudrate)", u"Speed(Baudrate)"},
    {Captions::SerialAddress, u"Cihaz ModBus Adresi (1-247)", u"ModBus Adsress (1-247)"},
    {Captions::Vendor, u"Üretici", u"Vendor"},
    {Captions::Model, u"Model", u"Model"},
    {Captions::SerialNumber, u"Seri No", u"Serial"},
    {Captions::Version, u"Versiyon", u"Version"},
    {Captions::EventLog, u"Olay Kayıt", u"Event Log."},
    {Captions::Sector, u"Bölüm", u"Sector"},
    {Captions::SelectAll, u"Hepsini seç", u"Select All"},
    {Captions::UnselectAll, u"Hepsini kaldır", u"Unselect All"},
    {Captions::ReadOk, u"Okuma işlemi başarılı...", u"Successfully Read"},
    {Captions::WriteOk, u"Yazma işlemi başarılı", u"Successfully Written"},
    {Captions::ReadFailed, u"Okuma işleminde Hata oluştu!", u"Error occured while Read"},
    {Captions::WriteFailed, u"Yazma işleminde Hata oluştu!", u"Error occured while Write"},
    {Captions::RecordNo, u"Kayıt No.", u"Record #"},
    {Captions::Date, u"Tarih", u"Date"},
    {Captions::Time, u"Saat", u"Time"},
    {Captions::ReadingLog, u" Kaydedilen bilgiler okunuyor ...", u" Reading Log ..."},
    {Captions::Pause, u"Duraklat", u"Pause"},
    {Captions::SaveToFile, u"Bilgileri Kaydet...", u"Save to File..."},
    {Captions::ReadCompleted, u" Seçilen bilgiler başarıyla okundu...",
     u"Selected Log data read completed Succesfully..."},
    {Captions::GridHint, u"* Dosyaya kaydetmek için *sağ tıklayın...", u"* Right Click to save to File..."},
    {Captions::Timings, u"Zaman Ayarları", u"Timings"},
    {Captions::TimeOut, u"TimeOut", u"TimeOut"},
    {Captions::PollDelay, u"PollDelay", u"PollDelay"},
    {Captions::ModeHint, u"Haberleşme tipini seçiniz.", u"Choose communication type."},
    {Captions::TimingsHint, u"Time Out ve Poll Delay değerleri için *sağ tıklayın.",
     u"Right click* to set communication timings. Time Out & Poll Delay"},
    {Captions::DeviceInformation, u"Cihaz bilgileri", u"Device Information"},
    {Captions::ParametersHint,
     u"En çok 28 parametre seçebilirsiniz. Seçtiğiniz ayarları kaydetmek için Uygula butonunu kullanın.",
     u"Click to Apply to save new settings. You can select maximum 28 parameters."},
    {Captions::SectorsHint, u"Okumak istediğiniz 1000 veriyi seçiniz... ",
     u"Select the 1000 records to download from the device... "},
    {Captions::Energy, u"Enerji ", u"Energy "},
    {Captions::Connecting, u"Bağlanıyor...", u"Connecting..."},
    {Captions::ReadingIdentity, u"Cihaz bilgileri okunuyor...", u"Reading device information..."},
    {Captions::ReadingConfiguration, u"Kayıt ayarları okunuyor...", u"Reading logging configuration..."},
    {Captions::ReadingCounts, u"Kayıt sayıları okunuyor...", u"Reading record counts..."},
    {Captions::WritingConfiguration, u"Kayıt ayarları yazılıyor...", u"Writing logging configuration..."},
    {Captions::Cancel, u"İptal", u"Cancel"},
    {Captions::Paused, u"Duraklatıldı. Devam etmek için tekrar açınız, yeni okuma için seçimi değiştiriniz.",
     u"Paused. Switch on to resume, or change the selection for a new download."},
    {Captions::ChartMenu, u"Grafik...", u"Chart..."},
    {Captions::ExportMenu, u"Dışa aktar...", u"Export..."},
    {Captions::ChartTitle, u"Grafik", u"Chart"},
    {Captions::SavePicture, u"Resim olarak kaydet...", u"Save Picture..."},
    {Captions::Minimum, u"En küçük", u"Minimum"},
    {Captions::Maximum, u"En büyük", u"Maximum"},
    {Captions::Average, u"Ortalama", u"Average"},
    {Captions::Parameter, u"Parametre", u"Parameter"},
    {Captions::ChartHint,
     u"Yakınlaştırmak için tekerleği çevirin ya da dikdörtgen çizin, kaydırmak için sağ tuşla sürükleyin, "
     u"tümü için çift tıklayın.",
     u"Wheel or drag a rectangle to zoom, drag with the right button to pan, double click to see all."},
    {Captions::ReportMenu, u"Rapor...", u"Report..."},
    {Captions::ReportTitle, u"Enerji raporu", u"Energy report"},
    {Captions::ReportDay, u"Gün", u"Day"},
    {Captions::ReportWeek, u"Hafta", u"Week"},
    {Captions::ReportMonth, u"Ay", u"Month"},
    {Captions::ReportBilling, u"Fatura dönemi", u"Billing period"},
    {Captions::ReportRange, u"Tarih aralığı", u"From - to"},
    {Captions::ReportLimits, u"Sınırlar (endüktif, kapasitif):", u"Limits (inductive, capacitive):"},
    {Captions::ReportBands, u"Tarife dilimleri:", u"Tariff bands:"},
    {Captions::ReportSave, u"Kaydet...", u"Save..."},
    {Captions::ReportBillingDay, u"Fatura günü", u"Billing day"},
    {Captions::NegativeCount, u"%1: cihaz %2 kayıt bildiriyor; hiçbiri okunmadı.",
     u"%1: the analyzer reports %2 records; nothing read."},
    {Captions::ArchiveFailed, u"Kayıtlar arşive yazılamadı: %1", u"Records not kept in the archive: %1"},
    {Captions::ArchiveSettings, u"Arşiv...", u"Archive..."},
    {Captions::ArchiveLocation, u"Arşiv (sqlite:DOSYA, postgresql://... veya bağlantı dizesi):",
     u"Archive (sqlite:FILE, postgresql://... or a connection string):"},
    {Captions::KeepDownloads, u"İndirilen kayıtları arşivde sakla",
     u"Keep downloaded records in the archive"},
    {Captions::ArchiveDefault, u"Boş bırakılırsa: %1", u"When left empty: %1"},
    {Captions::NewOnly, u"Sadece yeni kayıtlar", u"New records only"},
    {Captions::NewOnlyNoArchive, u"Arşiv okunamadı (%1); tüm kayıtlar okunuyor.",
     u"The archive could not be read (%1); reading every record."},
    {Captions::NewOnlyArchived, u"%1 kayıt zaten arşivde.", u"%1 records already in the archive."},
    {Captions::NewOnlyCleared, u"%1: kayıtlar silinmiş; tümü okunuyor.",
     u"%1: the log was cleared; read whole."},
    {Captions::NewOnlyUnchecked, u"%1: arşivdeki son kaydı okunamadı (%2); okunmadı.",
     u"%1: its last archived record could not be read (%2); not read."},
    {Captions::ArchiveNotKept,
     u"Ayar dosyası bu konumu saklayamaz: çok uzun ya da desteklenmeyen karakterler içeriyor.",
     u"The settings file cannot keep this location: it is too long or has characters it cannot hold."},
    {Captions::ArchiveRevealPassword, u"Parolayı göster", u"Show the password"},
    {Captions::ArchiveBadLocation,
     u"%1 bir arşiv belirtmiyor: sqlite:DOSYA, postgresql://... veya bir bağlantı dizesi giriniz.",
     u"%1 names no archive: give sqlite:FILE, postgresql://... or a connection string."},
    {Captions::ArchiveCannotOpen,
     u"%1 arşivi açılamadı (%2). Var olduğunu ve erişim izniniz olduğunu kontrol edin ya da Arşiv... ile "
     u"başka birini seçin.",
     u"The archive %1 cannot be opened (%2). Check that it exists and that you may use it, or choose "
     u"another under Archive...."},
    {Captions::ArchiveNotAnArchive,
     u"%1 bir arşiv değil ya da bozuk. Arşiv... ile başka bir dosya seçin ya da bir yedeğini geri yükleyin.",
     u"%1 holds no archive or is damaged. Choose another file under Archive..., or restore a copy."},
    {Captions::ArchiveNewerSchema,
     u"%1 arşivi Pullrec'in daha yeni bir sürümüyle yazılmış. Açmak için Pullrec'i güncelleyin ya da "
     u"Arşiv... ile başka birini seçin.",
     u"The archive %1 was written by a newer version of Pullrec. Update Pullrec to open it, or choose "
     u"another under Archive...."},
    {Captions::ArchiveMenu, u"Arşiv...", u"Archive..."},
    {Captions::ArchiveTitle, u"Arşiv", u"Archive"},
    {Captions::ArchiveLastDownload, u"Son indirme (UTC)", u"Last download (UTC)"},
    {Captions::ArchiveArea, u"Kayıt alanı", u"Log"},
    {Captions::ArchiveFrom, u"Başlangıç", u"From"},
    {Captions::ArchiveTo, u"Bitiş", u"To"},
    {Captions::ArchiveShow, u"Göster", u"Show"},
    {Captions::ArchiveReading, u"Arşiv okunuyor... %1 kayıt", u"Reading the archive... %1 records"},
    {Captions::ArchiveShown, u"%1 kayıt, %2 - %3", u"%1 records, %2 - %3"},
    {Captions::ArchiveUnreadable, u"Arşiv okunamıyor: %1", u"The archive cannot be read: %1"},
    {Captions::ArchiveEmpty, u"Arşivde henüz analizör yok.", u"The archive holds no analyzer yet."},
    {Captions::ArchiveNoRecords, u"Bu aralıkta kayıt yok.", u"No records in this range."},
    {Captions::ArchiveOpened, u"Arşiv: %1", u"Archive: %1"},
    {Captions::ArchiveListing, u"Arşiv okunuyor...", u"Reading the archive..."},
    {Captions::RecordsNotKept, u"%1 kayıt %2 arşivine yazılamadı: %3",
     u"%1 records not kept in the archive %2: %3"},
    {Captions::NewOnlyGapsUnread, u"%1 tamamı okunuyor: arşivin eksik kayıt listesi okunamadı (%2).",
     u"%1 read whole: the archive's list of records given up could not be read (%2)."},
    {Captions::ArchiveUnclocked, u"Saati geçersiz kayıtlar", u"Records without a clock"},
    {Captions::ArchiveStop, u"Durdur", u"Stop"},
    {Captions::ArchiveStopped, u"Okuma durduruldu.", u"Reading stopped."},
    {Captions::ArchiveNoSerial, u"Seri numarası yok: arşivde \"%1\" adıyla saklanıyor.",
     u"No serial number: kept in the archive as \"%1\"."},
};

template <std::size_t S, std::size_t N>
void fill(std::array<QString, S> &table, const Text (&texts)[N], int lang)
{
    for (const Text &t : texts)
        table[t.index] = QString::fromUtf16(lang == TextLanguage::Turkish ? t.turkish : t.english);
}

} // namespace

void fillLanguageTexts(LANGUAGE &texts, int lang)
{
    if (lang != TextLanguage::Turkish && lang != TextLanguage::English)
        return;
    fill(texts.messages, messageTexts, lang);
    fill(texts.captions, captionTexts, lang);
}
