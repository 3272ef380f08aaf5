# Install rules and packages: filled in with the packaging work.
