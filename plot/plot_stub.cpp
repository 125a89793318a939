// Keeps the plot library non-empty while it has no sources of its own.
namespace vantor::plot {}
