// filled in by its author
