"""What a result gives of the kelmath command's output: its text summary and its JSON."""
import json


class CommandText:
    """summary(), to_json() and to_dict() of a result whose values hold the command's "summary"
    and "json" texts."""

    def summary(self):
        """The kelmath command's text summary."""
        return self._values["summary"]

    def to_json(self):
        """The kelmath command's JSON result (the same as its --json file)."""
        return self._values["json"]

    def to_dict(self):
        """The JSON result as a dict."""
        return json.loads(self.to_json())
