#include "zod-tvq/convert.h"

#include "zod-tvq/encoders.h"
#include "zod-tvq/messages.h"
#include "zod-tvq/tvq_input.h"
#include "zod-tvq/verdict.h"
#include "zod-tvq/utf8_path.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace zod::cli {

namespace {

struct OpenedTvq {
    TvqFile file{};
    ~OpenedTvq() { CloseTvqFile(&file); }
};

} // namespace

std::string OutputBeside(const std::string& input, const std::string& folder, bool png) {
    fs::path output = PathOf(input);
    output.replace_extension(png ? ".png" : ".bmp");
    return folder.empty() ? output.string() : (PathOf(folder) / output.filename()).string();
}

Converter::Converter(const ConvertSettings& settings, Progress& progress)
    : settings_(settings), progress_(progress) {}

void Converter::ProtectInputs(std::vector<FileIdentity> inputs) {
    inputs_ = std::move(inputs);
    inputs_.emplace_back();
}

bool Converter::Convert(const std::string& input, const std::string& output, std::string* reason) {
    facts_ = TvqFacts{};
    TvqFacts& facts = facts_;
    if (!ReadTvqFacts(input, &facts, reason))
        return false;
    *reason = ConvertRefusal(facts, settings_.maxPixels, settings_.allowSparse);
    if (!reason->empty())
        return false;
    const bool toStream = output == "-";
    inputs_.back() = {facts.device, facts.inode};
    *reason = toStream ? "" : OutputRefusal(output, inputs_);
    if (!reason->empty())
        return false;
    std::error_code ignored;
    if (!toStream && !settings_.force &&
        fs::symlink_status(PathOf(output), ignored).type() != fs::file_type::not_found) {
        *reason = Printable(output) + " exists; --force replaces it";
        return false;
    }
    OpenedTvq tvq;
    std::string unused; // ReadTvqFacts has looked already
    FILE* file = OpenRegularFile(input, &unused);
    if (!file || !AdoptTvqFile(file, &tvq.file)) {
        *reason = "cannot read the file";
        return false;
    }
    SafeOutput out;
    if (toStream ? !out.AttachStandardOutput() : !out.Create(output, &inputs_)) {
        *reason = out.Error();
        return false;
    }
    if (!Encode(tvq.file, out, reason))
        return false;
    if (!out.Commit(settings_.force, settings_.sync)) {
        *reason = out.Error();
        return false;
    }
    return true;
}

bool Converter::Encode(TvqFile& tvq, SafeOutput& out, std::string* reason) {
    const ImageExtent extent = tvq.extent;
    auto encoder = settings_.png ? MakePngEncoder(extent, out) : MakeBmpEncoder(extent, out);
    const RowLayout layout = encoder->Layout();
    if (!table_ || tableBgr_ != layout.bgr) {
        if (!table_)
            table_ = std::make_unique<TvqTripleTable>();
        MakeTvqTripleTable(settings_.factor, layout.bgr ? TVQ_BLUE_FIRST : TVQ_RED_FIRST,
                           table_.get());
        tableBgr_ = layout.bgr;
    }
    const int32_t bandRows = int32_t(std::max<size_t>(1, settings_.bandBytes / layout.stride));
    const int bands = int((extent.height + bandRows - 1) / bandRows);
    // Band b's first row and row count, counted from the bottom for bottom-up files.
    auto rowsOf = [&](int band, int32_t* count) {
        int32_t first = band * bandRows;
        *count = std::min(bandRows, extent.height - first);
        return layout.bottomUp ? extent.height - first - *count : first;
    };
    auto fill = [&](int band, uint8_t* bytes) {
        int32_t count;
        const int32_t first = rowsOf(band, &count);
        TvqRowsToTriples(&tvq, *table_, first, count, bytes, layout.stride);
        return !tvq.readFailed;
    };
    auto empty = [&](int band, uint8_t* bytes) {
        int32_t count;
        rowsOf(band, &count);
        progress_.Update(double(band + 1) / bands);
        return encoder->WriteRows(bytes, count);
    };

    bool ok = encoder->Start();
    ok = ok && pipeline_.Run(bands, size_t(bandRows) * layout.stride, fill, empty);
    ok = ok && encoder->Finish();
    if (!ok)
        *reason = tvq.readFailed ? "the file could not be read to its end" : encoder->Error();
    if (!ok && reason->empty())
        *reason = "out of memory"; // the pipeline's buffers or thread
    return ok;
}

} // namespace zod::cli
