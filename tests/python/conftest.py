import hypothesis

# Property tests stay small so the whole suite runs in well under a minute;
# no deadline, since packing time varies with the machine's load.
hypothesis.settings.register_profile("quarvex", max_examples=60, deadline=None, print_blob=True)
hypothesis.settings.load_profile("quarvex")
