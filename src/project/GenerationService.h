#pragma once

#include <cstdint>
#include <memory>

namespace qv {

class Qel;

/// Generation as the project object reaches it: the generation layer implements it and
/// registers one per apartment, so that the project never depends on the layer above it.
/// Each member reports as the project's member of the same name does (ProjErr, result, or the
/// generation error -1 that reaches the host).
class GenerationService {
public:
    virtual ~GenerationService() = default;

    /// Generates the project's application from its template package.
    virtual void GenScript(Qel& project) = 0;
    /// Runs the generation in check-only mode: above 0 when an output file already exists.
    virtual std::int16_t GenCheck(Qel& project) = 0;
};

/// Registers the apartment's generation service (nullptr removes it). The apartment owns it
/// until it is replaced or the apartment is reset.
void RegisterGenerationService(std::unique_ptr<GenerationService> service);
/// The apartment's generation service; null when none is registered.
GenerationService* FindGenerationService();

} // namespace qv
