#include "sql/sqlite_command.h"

#include <sqlite3.h>

#include "sql/sqlite_connection.h"
#include "sql/sqlite_driver.h"
#include "sql/sqlite_reader.h"

namespace sql {
String SqliteStatementText(StringView Text) {
    String out(Text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char16_t c = out[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        if (c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
            ++i;  // a pair
            continue;
        }
        out[i] = 0xFFFD;
    }
    return out;
}

void TSqliteStatementFinalizer::operator()(sqlite3_stmt* Statement) const { sqlite3_finalize(Statement); }

TDBXSqliteCommand::TDBXSqliteCommand(TDBXContextPtr Context, TDBXSqliteConnection& Connection)
    : TDBXCommand(std::move(Context), &Connection), FSqliteConnection(Connection) {}

TDBXSqliteCommand::~TDBXSqliteCommand() { CloseOnFree(); }

void TDBXSqliteCommand::Trace(StringView Message) const { FDBXContext->Trace(TDBXTraceFlags::Vendor, Message); }

void TDBXSqliteCommand::SetText(const String& Value) {
    Close();
    TDBXCommand::SetText(Value);
}

std::unique_ptr<TDBXRow> TDBXSqliteCommand::CreateParameterRow() {
    auto row = std::make_unique<TDBXSqliteRow>(FDBXContext, FStatementHandle.get(), FSqliteConnection);
    FParameterRow = row.get();
    return row;
}

void TDBXSqliteCommand::DerivedOpen() {
    Trace(u"sqlite3_prepare16_v2");
    sqlite3_stmt* statement = nullptr;
    const String text = SqliteStatementText(FText);
    FSqliteConnection.ForgetPagesOfAChangedFile();
    const std::int64_t changesBefore = FSqliteConnection.ChangeCount();
    FReads = TDBXStatementReads();
    FColumnsDescribed = TSqliteColumnsDescribed();
    const int result = FSqliteConnection.PrepareNotingReads(text, &statement, FReads);
    FStatementHandle.reset(statement);
    if (result != SQLITE_OK) FStatementHandle.reset();
    FChangesSettings = FSqliteConnection.ChangeCount() != changesBefore;
    FPagesRequestedAtPrepare = FSqliteConnection.PagesRequested();
    CheckError(result, FSqliteConnection.ConnectionHandle(), FDBXContext.get());
}

std::optional<TDBXStatementReads> TDBXSqliteCommand::GetStatementReads() const {
    sqlite3_stmt* statement = FStatementHandle.get();
    if (!statement || sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_REPREPARE, 0) != 0) return std::nullopt;
    return FReads;
}

int TDBXSqliteCommand::Step() {
    sqlite3_stmt* statement = FStatementHandle.get();
    // Text holding only blanks or comments prepares to no statement.
    if (!statement) FDBXContext->Error(TDBXErrorCodes::InvalidOperation, u"No statement to execute");
    Trace(FText);
    if (!sqlite3_stmt_busy(statement)) {
        const bool pagesForgotten = FPagesRequestedAtPrepare == FSqliteConnection.PagesRequested();
        FPagesRequestedAtPrepare.reset();
        if (pagesForgotten) FSqliteConnection.ForgetPagesIfTheFileChanged();
        else FSqliteConnection.ForgetPagesOfAChangedFile();
    }
    if (FChangesSettings) FSqliteConnection.NoteChange();
    Trace(u"sqlite3_step");
    const int step = sqlite3_step(statement);
    if (step == SQLITE_DONE) FSqliteConnection.CheckFileUnchanged();
    if (step == SQLITE_ROW || step == SQLITE_DONE) return step;
    // The message is read before the reset; the step's error is the one reported.
    const String message = LastErrorMessage(FSqliteConnection.ConnectionHandle(), step);
    Trace(u"sqlite3_reset");
    sqlite3_reset(statement);
    FDBXContext->Error(step, message);
}

void TDBXSqliteCommand::Reset() {
    Trace(u"sqlite3_reset");
    CheckError(sqlite3_reset(FStatementHandle.get()), FSqliteConnection.ConnectionHandle(), FDBXContext.get());
}

std::unique_ptr<TDBXReader> TDBXSqliteCommand::DerivedExecuteQuery() {
    const int step = Step();
    sqlite3_stmt* statement = FStatementHandle.get();
    Trace(u"sqlite3_changes");
    FRowsAffected = sqlite3_changes(FSqliteConnection.ConnectionHandle());
    Trace(u"sqlite3_column_count");
    const int columns = sqlite3_column_count(statement);
    if (columns == 0) {
        Reset();
        return nullptr;
    }
    // The step that described the columns stands on the first row (or found
    // none); the reader hands it out first instead of running the scan again.
    try {
        auto byteReader = std::make_unique<TDBXSqliteByteReader>(FDBXContext, statement);
        return std::make_unique<TDBXSqliteReader>(FDBXContext, columns, std::move(byteReader), statement,
                                                  FSqliteConnection, step == SQLITE_ROW, FColumnsDescribed);
    } catch (...) {
        sqlite3_reset(statement);
        throw;
    }
}

void TDBXSqliteCommand::DerivedExecuteUpdate() {
    static_cast<void>(Step());
    Reset();
    Trace(u"sqlite3_changes");
    FRowsAffected = sqlite3_changes(FSqliteConnection.ConnectionHandle());
}

void TDBXSqliteCommand::DerivedClose() {
    Trace(u"sqlite3_finalize");
    const int result = sqlite3_finalize(FStatementHandle.release());
    FParameterRow = nullptr;
    FPagesRequestedAtPrepare.reset();
    FColumnsDescribed = TSqliteColumnsDescribed();
    CheckError(result, FSqliteConnection.ConnectionHandle(), FDBXContext.get());
}

}  // namespace sql
