// Placeholder: filled in by its stage.
