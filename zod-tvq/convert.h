// Converting one TVQ file at full size, streamed a band of rows at a time.
#pragma once

#include "zod-tvq/band_pipeline.h"
#include "zod-tvq/progress.h"
#include "zod-tvq/safe_output.h"
#include "zod-tvq/tvq_input.h"
#include "formats/core/tvq_file.h"

#include <memory>
#include <string>
#include <vector>

namespace zod::cli {

struct ConvertSettings {
    int32_t factor;
    bool png;
    bool force;
    bool sync; // flush each output to the disk before it takes its name
    uint64_t maxPixels;
    bool allowSparse; // convert files the plausibility rule calls too sparse
    // Big enough that each write and read is cheap, small enough that a band is still in
    // the caches when the other thread copies it out (4 MiB measured clearly slower).
    size_t bandBytes = size_t(1) << 20;
};

// Where `input` is written: beside it, or inside `folder` when one is given, under its
// own name with the format's lower-case extension.
std::string OutputBeside(const std::string& input, const std::string& folder, bool png);

class Converter {
  public:
    Converter(const ConvertSettings& settings, Progress& progress);
    // No output may be one of these files, whatever its name, nor the input being converted.
    void ProtectInputs(std::vector<FileIdentity> inputs);
    // Writes `output` ("-": standard output) from `input`, or leaves it as it was and
    // gives the reason.
    bool Convert(const std::string& input, const std::string& output, std::string* reason);
    // Writes the image of an open TVQ file into `out`, which is left to the caller to commit
    // or abandon; false with the reason when a read or a write fails.
    bool Encode(TvqFile& tvq, SafeOutput& out, std::string* reason);
    // What the last Convert learnt of its input.
    const TvqFacts& Facts() const { return facts_; }

  private:
    ConvertSettings settings_;
    TvqFacts facts_{};
    Progress& progress_;
    std::unique_ptr<TvqTripleTable> table_; // for the order of tableBgr_
    bool tableBgr_ = false;
    BandPipeline pipeline_;
    // ProtectInputs' files, then one slot for the input of the conversion under way: a batch
    // of any length checks a list of fixed size.
    std::vector<FileIdentity> inputs_ = std::vector<FileIdentity>(1);
};

} // namespace zod::cli
