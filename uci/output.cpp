// Output lines (placeholder until the front end lands).
