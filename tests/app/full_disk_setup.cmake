# Makes DIR/Bundles/diff.dat a link to /dev/full, on which every write fails for lack of space.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR}/Bundles)
file(CREATE_LINK /dev/full ${DIR}/Bundles/diff.dat SYMBOLIC)
