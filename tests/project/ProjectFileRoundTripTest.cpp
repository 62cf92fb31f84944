// Real databases through the project file and back: every setting of every kind survives, and
// writing the reloaded project gives the same bytes again. The unit program runs them on SQLite
// and Access; the db program (built with QV_TEST_SERVERS) on PostgreSQL and MariaDB.

#include "project/ProjectFileTestSupport.h"

#include "project/internal/ProjectFileReader.h"
#include "project/internal/ProjectFileWriter.h"

#include "db/TestDatabases.h"
#ifndef QV_TEST_SERVERS
#include "platform/dao/AccessFixture.h"
#endif

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"

#include "platform/automation/Conversion.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/xml/Document.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

/// Settings that the schema fixes or the reader derives again; everything else is changed.
bool IsKeptAsLoaded(std::u16string_view name) {
    static constexpr std::array<std::u16string_view, 10> kept{
        u"DBName",    u"DBDBMSName", u"TblName",   u"FldName", u"FldType",
        u"FldQuoteS", u"FldQuoteE",  u"TblLoaded", u"FldAdd",  u"FldAutoIncrement"};
    return std::find(kept.begin(), kept.end(), name) != kept.end();
}

/// Gives every other file setting a new value of its type; texts hold markup, line breaks, a
/// tab and characters outside the file's charset.
void ChangeEverySetting(SettingsEntity& entity) {
    const SettingsTable& table = entity.SettingsOf();
    for (std::size_t ordinal = 0; ordinal < table.Size(); ++ordinal) {
        const SettingInfo& info = table[ordinal];
        if (!info.fileSave || IsKeptAsLoaded(info.name)) {
            continue;
        }
        Variant value;
        switch (info.dataType) {
        case SettingType::String:
        case SettingType::Variant:
            value = Variant(std::u16string(info.name) +
                            u" <a href=\"x\">&amp;</a>\r\n\tcaf\u00e9 \u2713 \U0001F600");
            break;
        case SettingType::Boolean:
            value = Variant(ordinal % 2 == 0);
            break;
        case SettingType::Integer:
            value = Variant(static_cast<std::int16_t>(-static_cast<int>(ordinal)));
            break;
        case SettingType::Long:
            value = Variant(static_cast<std::int32_t>(100000 + ordinal));
            break;
        }
        entity.SetSettingValue(ordinal, value);
    }
}

/// Every file setting of `loaded` equals that of `original`, compared as the file holds it.
void ExpectSameSettings(const SettingsEntity& original, const SettingsEntity& loaded,
                        const std::string& what) {
    const SettingsTable& table = original.SettingsOf();
    for (std::size_t ordinal = 0; ordinal < table.Size(); ++ordinal) {
        const SettingInfo& info = table[ordinal];
        // Quote characters are derived from the type again; the reader's tests cover them.
        if (!info.fileSave || info.name == u"FldQuoteS" || info.name == u"FldQuoteE") {
            continue;
        }
        SCOPED_TRACE(what + "." + automation::ToUtf8(info.name));
        const Variant& before = original.SettingValue(ordinal);
        const Variant& after = loaded.SettingValue(ordinal);
        if (info.dataType == SettingType::Boolean) {
            EXPECT_EQ(before.IsEmpty() ? false : automation::ToBoolean(before), automation::ToBoolean(after));
            continue;
        }
        EXPECT_EQ(automation::ToUtf8(automation::ToString(before)),
                  automation::ToUtf8(automation::ToString(after)));
    }
}

class ProjectFileRoundTrip : public test::ModelTest {
protected:
    /// Writes the project with `database` and reads it back into a fresh project.
    void RoundTrip(std::u16string_view encoding) {
        mSettings = test::MakeSettings({{u"ProjName", u"String", true, Variant(u"Round \u2713 trip")},
                                        {u"AutoSync", u"Boolean", true, Variant(true)},
                                        {u"RecPerPage", u"Integer", true, Variant(std::int16_t{-5})},
                                        {u"CodePage", u"Long", true, Variant(std::int32_t{65001})}});
        ASSERT_GT(mDatabase->tables()->Count(), 0);
        for (QelTable& table : *mDatabase->tables()) {
            ChangeEverySetting(table);
            for (QelField& field : *table.Fields()) {
                ChangeEverySetting(field);
            }
        }
        ChangeEverySetting(*mDatabase);

        mFirst = Write(*mSettings, *mDatabase, encoding);
        Read(mFirst, mLoaded);
    }

    /// A fresh project read from the file's bytes.
    struct Loaded {
        automation::Ref<QoProperties> settings =
            test::MakeSettings({{u"ProjName", u"String", true, Variant()},
                                {u"AutoSync", u"Boolean", true, Variant()},
                                {u"RecPerPage", u"Integer", true, Variant()},
                                {u"CodePage", u"Long", true, Variant()}});
        automation::Ref<QelDatabases> databases = automation::MakeRef<QelDatabases>();
        std::u16string name;

        const QelDatabase& Database() const { return *databases->Item(Variant(name)); }
    };

    void Read(const std::string& bytes, Loaded& into) {
        const std::u16string file = system::FromNativePath(mTemp / "project.xml");
        system::WriteFileAtomic(file, bytes);
        const xml::Document document = xml::Document::Load(file, {.preserveWhitespace = true});
        ProjectFileReader reader({*into.settings, *into.databases, into.name});
        reader.ReadProjectSettings(document.DocumentElement());
        reader.ReadNodes(document.DocumentElement());
    }

    static std::string Write(const QoProperties& settings, const QelDatabase& database,
                             std::u16string_view encoding) {
        ProjectFileWriter writer(encoding, encoding == u"utf-8");
        writer.BeginProject(u"6.0.0.1", settings);
        writer.WriteDatabase(database);
        return writer.Finish();
    }

    void ExpectEverythingBack() {
        ASSERT_EQ(mLoaded.databases->Count(), 1);
        const QelDatabase& loaded = mLoaded.Database();
        ExpectSameSettings(*mDatabase, loaded, "database");
        EXPECT_EQ(automation::ToString(mLoaded.settings->Find(u"ProjName")->Value()), u"Round \u2713 trip");
        EXPECT_EQ(automation::ToInteger(mLoaded.settings->Find(u"RecPerPage")->Value()), -5);

        QelTables& tables = *loaded.tables();
        ASSERT_EQ(tables.Count(), mDatabase->tables()->Count());
        std::int32_t position = 0;
        for (const QelTable& table : *mDatabase->tables()) {
            const QelTable* back = tables.At(++position);
            ASSERT_NE(back, nullptr);
            ASSERT_EQ(back->TblName(), table.TblName()) << "tables keep their order";
            ExpectSameSettings(table, *back, automation::ToUtf8(table.TblName()));
            ASSERT_EQ(back->Fields()->Count(), table.Fields()->Count());
            std::int32_t fieldPosition = 0;
            for (const QelField& field : *table.Fields()) {
                const QelField* backField = back->Fields()->At(++fieldPosition);
                ASSERT_EQ(backField->FldName(), field.FldName());
                ExpectSameSettings(field, *backField,
                                   automation::ToUtf8(table.TblName() + u"." + field.FldName()));
                EXPECT_EQ(backField->FldSeq(), fieldPosition);
            }
        }
        // Saving a loaded project gives the file it was loaded from.
        const std::string second = Write(*mLoaded.settings, loaded, mEncoding);
        Loaded again;
        Read(second, again);
        EXPECT_TRUE(Write(*again.settings, again.Database(), mEncoding) == second)
            << "saving again changes the file";
    }

    automation::Ref<QelDatabase> mDatabase = automation::MakeRef<QelDatabase>();
    automation::Ref<QoProperties> mSettings;
    Loaded mLoaded;
    std::u16string mEncoding;
    std::string mFirst;
};

class ProjectFileServerRoundTrip : public ProjectFileRoundTrip,
                                   public ::testing::WithParamInterface<DatabaseKind> {};

TEST_P(ProjectFileServerRoundTrip, KeepsEverySettingOfALoadedDatabase) {
    if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
        GTEST_SKIP() << *reason;
    }
    const testdb::TestDatabase source(GetParam());
    ASSERT_EQ(mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                   Variant(source.ConnectionString()), Variant(u""), Variant(u"")),
              0);
    mEncoding = GetParam() == DatabaseKind::SQLite ? u"windows-1252" : u"utf-8";
    RoundTrip(mEncoding);
    ExpectEverythingBack();
    // The loaders give each field the quotes the reader derives, so even the first file stays.
    EXPECT_TRUE(Write(*mLoaded.settings, mLoaded.Database(), mEncoding) == mFirst);
}

QV_INSTANTIATE_FOR_TEST_DATABASES(ProjectFileServerRoundTrip);

// Access files are read the same way in both programs: the embedded one runs them.
#ifndef QV_TEST_SERVERS

TEST_F(ProjectFileRoundTrip, KeepsEverySettingOfAnAccessDatabase) {
    const std::filesystem::path file = dao::test::CopyFixture(mTemp, "nwind.mdb");
    ASSERT_EQ(mDatabase->LoadDAODB(Variant(u"nwind.mdb"), Variant(dao::test::PathText(file)), Variant(false),
                                   Variant(u"admin"), Variant(u""), Variant(u"")),
              0);
    mEncoding = u"iso-8859-1";
    RoundTrip(mEncoding);
    ExpectEverythingBack();
}
#endif

} // namespace
} // namespace qv
