"""The end-to-end run on a Mac, as a package: integration/run is its entry."""
